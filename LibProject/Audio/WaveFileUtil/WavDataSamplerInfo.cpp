#include "LibProject/Audio/WaveFileUtil/WavDataSamplerInfo.h"

#include <algorithm>

#include "LibProject/Audio/WaveFileUtil/WavDataCueInfo.h"
#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

bool C_WavDataSamplerInfo::Read(std::span<const std::uint8_t> chunk) {
  m_loops.clear();
  C_SpanReader reader(chunk);
  for (std::uint32_t& field : header) {
    field = reader.U32();
  }
  const std::uint32_t loopCount = header[7];
  for (std::uint32_t i = 0; i < loopCount && reader.Remaining() >= 24; ++i) {
    C_Loop loop;
    loop.cueId = reader.U32();
    loop.type = reader.U32();
    loop.start = reader.U32();
    loop.end = reader.U32();
    loop.fraction = reader.U32();
    loop.playCount = reader.U32();
    m_loops.push_back(loop);
  }
  m_samplerDataAvailable = static_cast<std::uint32_t>(reader.Remaining());
  return true;
}

std::vector<std::uint8_t> C_WavDataSamplerInfo::Render() const {
  const std::uint32_t samplerData = std::min(header[8], m_samplerDataAvailable);
  std::vector<std::uint8_t> out;
  out.reserve(36 + 24 * m_loops.size() + samplerData);
  for (int i = 0; i < 7; ++i) {
    PutLE32(out, header[i]);
  }
  PutLE32(out, static_cast<std::uint32_t>(m_loops.size()));
  PutLE32(out, samplerData);
  for (const C_Loop& loop : m_loops) {
    PutLE32(out, loop.cueId);
    PutLE32(out, loop.type);
    PutLE32(out, loop.start);
    PutLE32(out, loop.end);
    PutLE32(out, loop.fraction);
    PutLE32(out, loop.playCount);
  }
  out.resize(out.size() + samplerData, 0);
  return out;
}

void C_WavDataSamplerInfo::ScaleToRate(std::uint32_t fromRate, std::uint32_t toRate) {
  for (C_Loop& loop : m_loops) {
    loop.start = ScaleSamplePosition(loop.start, fromRate, toRate);
    loop.end = ScaleSamplePosition(loop.end, fromRate, toRate);
  }
  // The sample period, ns: 10^9 / rate rounded to nearest; a period not stated stays unstated.
  if (header[2] != 0 && toRate != 0) {
    header[2] = static_cast<std::uint32_t>((2000000000ULL + toRate) / (2ULL * toRate));
  }
}
