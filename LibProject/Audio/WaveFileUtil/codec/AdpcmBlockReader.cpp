// Block-group decoding of an ADPCM data chunk for streamed conversion.
#include "LibProject/Audio/WaveFileUtil/codec/AdpcmBlockReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/codec/DVIADPCMCodec.h"
#include "LibProject/Audio/WaveFileUtil/codec/MSADPCMEncDec.h"

namespace {

// Compressed bytes read at a time (whole blocks, at least one).
constexpr std::size_t kGroupBytes = std::size_t{64} << 10;

std::uint32_t FramesInBlock(std::size_t bytes, const C_AdpcmBlockReader::C_Layout& layout) {
  const std::uint32_t capacity = layout.microsoft
                                     ? C_MSADPCMEncDec::SamplesInBlock(bytes, layout.channels)
                                     : C_DVIADPCMCodec::SamplesInBlock(bytes, layout.channels);
  return std::min(capacity, layout.samplesPerBlock);
}

}  // namespace

C_AdpcmBlockReader::C_AdpcmBlockReader(std::unique_ptr<I_ByteSource> source, std::uint64_t offset,
                                       std::uint64_t length, const C_Layout& layout)
    : m_source(std::move(source)), m_offset(offset), m_length(length), m_layout(layout) {
  const std::size_t blocks = std::max<std::size_t>(kGroupBytes / layout.blockAlign, 1);
  m_compressed.resize(blocks * layout.blockAlign);
  m_decoded.resize(blocks * static_cast<std::size_t>(layout.samplesPerBlock) * layout.channels);
}

std::uint64_t C_AdpcmBlockReader::DecodedFrames(std::uint64_t compressedBytes,
                                                const C_Layout& layout) {
  if (layout.blockAlign == 0) {
    return 0;
  }
  const std::uint64_t blocks = compressedBytes / layout.blockAlign;
  const auto rest = static_cast<std::size_t>(compressedBytes % layout.blockAlign);
  return blocks * layout.samplesPerBlock + FramesInBlock(rest, layout);
}

bool C_AdpcmBlockReader::Refill() {
  if (m_consumed >= m_length) {
    return false;
  }
  const auto want =
      static_cast<std::size_t>(std::min<std::uint64_t>(m_compressed.size(), m_length - m_consumed));
  const std::size_t got = m_source->ReadAt(m_offset + m_consumed, m_compressed.data(), want);
  // A chunk cut short on the disk ends here, as the whole-chunk decode ends at what it read.
  m_consumed = got < want ? m_length : m_consumed + got;
  m_decodedBytes = 0;
  m_taken = 0;
  for (std::size_t at = 0; at < got; at += m_layout.blockAlign) {
    const std::size_t size = std::min<std::size_t>(m_layout.blockAlign, got - at);
    std::int16_t* out = m_decoded.data() + m_decodedBytes / 2;
    const std::uint32_t frames =
        m_layout.microsoft
            ? C_MSADPCMEncDec::DecodeBlock(m_compressed.data() + at, size, m_layout.channels,
                                           m_layout.samplesPerBlock, m_layout.coefs, out)
            : C_DVIADPCMCodec::DecodeBlock(m_compressed.data() + at, size, m_layout.channels,
                                           m_layout.samplesPerBlock, out);
    m_decodedBytes += static_cast<std::size_t>(frames) * m_layout.channels * 2;
  }
  return true;
}

std::size_t C_AdpcmBlockReader::Read(std::uint8_t* out, std::size_t bytes) {
  std::size_t given = 0;
  while (given < bytes) {
    if (m_taken == m_decodedBytes && !Refill()) {
      break;
    }
    const std::size_t n = std::min(bytes - given, m_decodedBytes - m_taken);
    std::memcpy(out + given, reinterpret_cast<const std::uint8_t*>(m_decoded.data()) + m_taken, n);
    m_taken += n;
    given += n;
  }
  return given;
}
