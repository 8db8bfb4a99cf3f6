#include "LibProject/Audio/WaveFileUtil/codec/MSADPCMEncDec.h"

#include <algorithm>

namespace {

// Delta adaptation per code: codes of small magnitude shrink the delta, large ones grow it
// (multiplier / 256).
constexpr std::int64_t kAdaptationTable[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                               768, 614, 512, 409, 307, 230, 230, 230};

// The smallest delta the adaptation may reach.
constexpr std::int64_t kMinDelta = 16;
// Deltas are held in 64 bits and limited, so that a hostile block cannot overflow them.
constexpr std::int64_t kMaxDelta = 0x7FFFFFFF;

struct ChannelState {
  std::int64_t coef1 = 0;
  std::int64_t coef2 = 0;
  std::int64_t delta = 0;
  std::int64_t sample1 = 0;  // the newest sample
  std::int64_t sample2 = 0;  // the one before
};

std::int16_t DecodeNibble(ChannelState& s, unsigned code) {
  const std::int64_t predicted = (s.sample1 * s.coef1 + s.sample2 * s.coef2) >> 8;
  const std::int64_t signedCode = (code & 8U) != 0 ? static_cast<std::int64_t>(code) - 16 : code;
  const std::int64_t sample =
      std::clamp<std::int64_t>(predicted + signedCode * s.delta, -32768, 32767);
  s.sample2 = s.sample1;
  s.sample1 = sample;
  s.delta =
      std::clamp<std::int64_t>((kAdaptationTable[code & 15U] * s.delta) >> 8, kMinDelta, kMaxDelta);
  return static_cast<std::int16_t>(sample);
}

std::int16_t ReadS16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::uint32_t C_MSADPCMEncDec::SamplesInBlock(std::size_t bytes, std::uint16_t channels) {
  if (channels == 0 || bytes < kHeaderBytesPerChannel * channels) {
    return 0;
  }
  const std::size_t perChannel = 2 + 2 * (bytes - kHeaderBytesPerChannel * channels) / channels;
  return static_cast<std::uint32_t>(std::min<std::size_t>(perChannel, 0xFFFFFFFFU));
}

std::uint32_t C_MSADPCMEncDec::DecodeBlock(const std::uint8_t* block, std::size_t bytes,
                                           std::uint16_t channels, std::uint32_t samplesPerChannel,
                                           std::span<const std::int16_t> coefs, std::int16_t* out) {
  const std::uint32_t frames = std::min(SamplesInBlock(bytes, channels), samplesPerChannel);
  const std::size_t pairs = coefs.size() / 2;
  if (frames == 0 || pairs == 0) {
    return 0;
  }
  ChannelState states[2];
  const std::uint8_t* p = block;
  for (std::uint16_t c = 0; c < channels; ++c) {
    const std::size_t predictor = std::min<std::size_t>(p[c], pairs - 1);
    states[c].coef1 = coefs[2 * predictor];
    states[c].coef2 = coefs[2 * predictor + 1];
  }
  p += channels;
  for (std::uint16_t c = 0; c < channels; ++c, p += 2) states[c].delta = ReadS16(p);
  for (std::uint16_t c = 0; c < channels; ++c, p += 2) states[c].sample1 = ReadS16(p);
  for (std::uint16_t c = 0; c < channels; ++c, p += 2) states[c].sample2 = ReadS16(p);

  // The header's two samples come out first, the older one first.
  for (std::uint16_t c = 0; c < channels; ++c)
    out[c] = static_cast<std::int16_t>(states[c].sample2);
  if (frames > 1) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      out[channels + c] = static_cast<std::int16_t>(states[c].sample1);
    }
  }
  // Codes follow two to a byte, high nibble first, running through the channels in turn.
  const std::size_t codes = static_cast<std::size_t>(frames > 2 ? frames - 2 : 0) * channels;
  for (std::size_t i = 0; i < codes; ++i) {
    const std::uint8_t byte = p[i / 2];
    const unsigned code = (i % 2 == 0) ? (byte >> 4) : (byte & 0x0FU);
    const std::uint16_t channel = static_cast<std::uint16_t>(i % channels);
    out[2 * static_cast<std::size_t>(channels) + i] = DecodeNibble(states[channel], code);
  }
  return frames;
}
