#include "LibProject/Audio/WaveFileUtil/WavDataCueInfo.h"

#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

bool C_WavDataCueInfo::Read(std::span<const std::uint8_t> chunk) {
  Clear();
  C_SpanReader reader(chunk);
  const std::uint32_t count = reader.U32();
  for (std::uint32_t i = 0; i < count && reader.Remaining() >= 24; ++i) {
    C_CuePoint point;
    point.id = reader.U32();
    point.position = reader.U32();
    reader.Id(point.chunkId);
    point.chunkStart = reader.U32();
    point.blockStart = reader.U32();
    point.sampleOffset = reader.U32();
    m_points.push_back(point);
    m_index[point.id] = m_points.size() - 1;
  }
  return true;
}

std::vector<std::uint8_t> C_WavDataCueInfo::Render() const {
  std::vector<std::uint8_t> out;
  out.reserve(4 + 24 * m_points.size());
  PutLE32(out, static_cast<std::uint32_t>(m_points.size()));
  for (const C_CuePoint& point : m_points) {
    PutLE32(out, point.id);
    PutLE32(out, point.position);
    PutId(out, point.chunkId);
    PutLE32(out, point.chunkStart);
    PutLE32(out, point.blockStart);
    PutLE32(out, point.sampleOffset);
  }
  return out;
}

void C_WavDataCueInfo::AddCuePoint(const C_CuePoint& point) {
  const auto found = m_index.find(point.id);
  if (found != m_index.end()) {
    m_points[found->second] = point;
    return;
  }
  m_points.push_back(point);
  m_index[point.id] = m_points.size() - 1;
}

const C_WavDataCueInfo::C_CuePoint* C_WavDataCueInfo::Find(std::uint32_t id) const {
  const auto found = m_index.find(id);
  return found == m_index.end() ? nullptr : &m_points[found->second];
}

void C_WavDataCueInfo::Clear() {
  m_points.clear();
  m_index.clear();
}

void C_WavDataCueInfo::ScaleToRate(std::uint32_t fromRate, std::uint32_t toRate) {
  for (C_CuePoint& point : m_points) {
    point.position = ScaleSamplePosition(point.position, fromRate, toRate);
    point.sampleOffset = ScaleSamplePosition(point.sampleOffset, fromRate, toRate);
  }
}
