#include "LibProject/Audio/WaveFileUtil/codec/DVIADPCMCodec.h"

#include <algorithm>

namespace {

// Quantiser step sizes: 89 entries growing by about 10 % each, from 7 to 32767.
constexpr std::int32_t kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Step index change per code: small codes step down, large ones up (the sign bit is ignored).
constexpr std::int32_t kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

constexpr std::int32_t kMaxStepIndex = 88;

struct ChannelState {
  std::int32_t predictor = 0;
  std::int32_t index = 0;
};

// One 4-bit code: the difference is built from the step by shifts and adds, bit by bit.
std::int16_t DecodeNibble(ChannelState& state, unsigned code) {
  const std::int32_t step = kStepTable[state.index];
  std::int32_t diff = step >> 3;
  if ((code & 4U) != 0) diff += step;
  if ((code & 2U) != 0) diff += step >> 1;
  if ((code & 1U) != 0) diff += step >> 2;
  state.predictor += (code & 8U) != 0 ? -diff : diff;
  state.predictor = std::clamp(state.predictor, -32768, 32767);
  state.index = std::clamp(state.index + kIndexTable[code & 15U], 0, kMaxStepIndex);
  return static_cast<std::int16_t>(state.predictor);
}

}  // namespace

std::uint32_t C_DVIADPCMCodec::SamplesInBlock(std::size_t bytes, std::uint16_t channels) {
  if (channels == 0 || bytes < kHeaderBytesPerChannel * channels) {
    return 0;
  }
  const std::size_t data = bytes - kHeaderBytesPerChannel * channels;
  const std::size_t groupBytes = 4U * channels;
  const std::size_t groups = data / groupBytes;
  const std::size_t leftover = data % groupBytes;
  // In a last, partial group every channel gets the bytes of its own 4-byte slot; the frame
  // count follows the channel with the fewest.
  const std::size_t lastSlot =
      leftover > 4U * (channels - 1U) ? leftover - 4U * (channels - 1U) : 0;
  const std::size_t perChannel = 1 + 8 * groups + 2 * std::min<std::size_t>(lastSlot, 4);
  return static_cast<std::uint32_t>(std::min<std::size_t>(perChannel, 0xFFFFFFFFU));
}

std::uint32_t C_DVIADPCMCodec::DecodeBlock(const std::uint8_t* block, std::size_t bytes,
                                           std::uint16_t channels, std::uint32_t samplesPerChannel,
                                           std::int16_t* out) {
  const std::uint32_t frames = std::min(SamplesInBlock(bytes, channels), samplesPerChannel);
  if (frames == 0) {
    return 0;
  }
  ChannelState states[2];
  for (std::uint16_t c = 0; c < channels; ++c) {
    const std::uint8_t* header = block + kHeaderBytesPerChannel * c;
    states[c].predictor = static_cast<std::int16_t>(header[0] | (header[1] << 8));
    states[c].index = std::min<std::int32_t>(header[2], kMaxStepIndex);
    out[c] = static_cast<std::int16_t>(states[c].predictor);
  }
  const std::uint8_t* data = block + kHeaderBytesPerChannel * channels;
  for (std::uint32_t frame = 1; frame < frames; ++frame) {
    const std::uint32_t n = frame - 1;  // code number within the channel
    const std::size_t group = n / 8;
    const std::size_t within = n % 8;
    for (std::uint16_t c = 0; c < channels; ++c) {
      const std::uint8_t byte = data[group * 4U * channels + 4U * c + within / 2];
      const unsigned code = (within % 2 == 0) ? (byte & 0x0FU) : (byte >> 4);
      out[static_cast<std::size_t>(frame) * channels + c] = DecodeNibble(states[c], code);
    }
  }
  return frames;
}
