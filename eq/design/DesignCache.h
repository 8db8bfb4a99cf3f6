#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "eq/band/EqBand.h"
#include "eq/design/FilterChain.h"

/// The designs of one band table, made once for each sample rate and handed out as copies, so
/// that the files of a batch at the same rate do not each design (and check) every band again.
/// Safe to use from several threads.
class DesignCache {
 public:
  /// `bandTable` must outlive the cache and stay unchanged while it is used.
  explicit DesignCache(const EqBandTable& bandTable) : m_bandTable(bandTable) {}

  /// What DesignBandFilters(bandTable, chain, sampleRate, &skipped) gives: appends the designed
  /// bands to `chain` (with zeroed states) and the left-out ones to `skipped`.
  void Design(double sampleRate, FilterChain& chain, std::vector<BandSkip>& skipped);

 private:
  struct Entry {
    FilterChain chain;
    std::vector<BandSkip> skipped;
  };

  const EqBandTable& m_bandTable;
  std::mutex m_mutex;
  std::map<double, Entry> m_designs;
};
