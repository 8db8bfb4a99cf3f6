#include "eq/PlaybackRenderer.h"

#include <algorithm>

#include "eq/PlainPass.h"
#include "eq/SampleIo.h"

PlaybackRenderer::PlaybackRenderer(SampleFormat format, std::uint16_t channels, double sampleRate)
    : m_format(format),
      m_channels(std::max<std::uint16_t>(channels, 1)),
      m_sampleRate(sampleRate),
      m_chains(m_channels) {}

void PlaybackRenderer::SetBands(const EqBandTable& table) {
  FilterChain designed;
  DesignBandFilters(table, designed, m_sampleRate);
  const bool carry = CountSections(designed) == CountSections(m_chains.front());
  for (FilterChain& chain : m_chains) {
    std::vector<BiquadState> states;
    if (carry) {
      ForEachSection(chain,
                     [&states](const BiquadCoefs&, const BiquadState& s) { states.push_back(s); });
    }
    FilterChain next;
    AppendFilterChain(designed, next);  // states zeroed
    if (carry) {
      std::size_t k = 0;
      ForEachSection(next, [&states, &k](const BiquadCoefs&, BiquadState& s) { s = states[k++]; });
    }
    chain = std::move(next);
  }
}

void PlaybackRenderer::Reset() {
  for (FilterChain& chain : m_chains) {
    ResetFilterStates(chain);
  }
}

void PlaybackRenderer::Render(void* samples, std::size_t frames) {
  if (m_bypass || frames == 0) {
    return;
  }
  (void)VisitSampleIo(m_format, [&](auto io) {
    auto* first = static_cast<typename decltype(io)::Sample*>(samples);
    for (std::uint16_t c = 0; c < m_channels; ++c) {
      RunPlainChannel(io, first + c, frames, m_channels, m_chains[c]);
    }
    return 1;
  });
}
