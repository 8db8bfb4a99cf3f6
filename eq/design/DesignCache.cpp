#include "eq/design/DesignCache.h"

void DesignCache::Design(double sampleRate, FilterChain& chain, std::vector<BandSkip>& skipped) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  auto found = m_designs.find(sampleRate);
  if (found == m_designs.end()) {
    Entry entry;
    DesignBandFilters(m_bandTable, entry.chain, sampleRate, &entry.skipped);
    found = m_designs.emplace(sampleRate, std::move(entry)).first;
  }
  AppendFilterChain(found->second.chain, chain);
  skipped.insert(skipped.end(), found->second.skipped.begin(), found->second.skipped.end());
}
