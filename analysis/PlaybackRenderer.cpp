#include "analysis/PlaybackRenderer.h"

#include <algorithm>

#include "eq/filter/PlainPass.h"
#include "eq/filter/SampleIo.h"

PlaybackRenderer::PlaybackRenderer(SampleFormat format, std::uint16_t channels, double sampleRate)
    : m_format(format),
      m_channels(std::max<std::uint16_t>(channels, 1)),
      m_sampleRate(sampleRate),
      m_chains(m_channels) {}

void PlaybackRenderer::SetBands(const EqBandTable& table) {
  Bands bands = Prepare(table);
  Adopt(bands);
}

PlaybackRenderer::Bands PlaybackRenderer::Prepare(const EqBandTable& table) const {
  FilterChain designed;
  DesignBandFilters(table, designed, m_sampleRate);
  Bands bands;
  bands.chains.resize(m_channels);
  for (FilterChain& chain : bands.chains) {
    AppendFilterChain(designed, chain);  // states zeroed
  }
  bands.carried.resize(CountSections(designed));
  FreeFilterChain(designed);
  return bands;
}

void PlaybackRenderer::Adopt(Bands& bands) {
  const bool carry = bands.chains.size() == m_chains.size() &&
                     bands.carried.size() == CountSections(m_chains.front());
  if (carry) {
    for (std::size_t c = 0; c < m_chains.size(); ++c) {
      std::size_t k = 0;
      ForEachSection(m_chains[c], [&bands, &k](const BiquadCoefs&, const BiquadState& s) {
        bands.carried[k++] = s;
      });
      k = 0;
      ForEachSection(bands.chains[c],
                     [&bands, &k](const BiquadCoefs&, BiquadState& s) { s = bands.carried[k++]; });
    }
  }
  m_chains.swap(bands.chains);
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
