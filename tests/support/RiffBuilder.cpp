#include "tests/support/RiffBuilder.h"

namespace testsupport {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value);
  Put16(out, value >> 16);
}

void PutText(std::vector<std::uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

std::uint16_t Le16At(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                    static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

std::uint32_t Le32At(std::string_view bytes, std::size_t at) {
  return Le16At(bytes, at) | static_cast<std::uint32_t>(Le16At(bytes, at + 2)) << 16;
}

std::size_t ChunkBodyAt(std::string_view bytes, std::string_view id) {
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    if (bytes.substr(at, 4) == id) {
      return at + 8;
    }
    const std::uint32_t size = Le32At(bytes, at + 4);
    at += 8 + static_cast<std::size_t>(size) + (size & 1U);
  }
  return std::string_view::npos;
}

RiffBuilder& RiffBuilder::Chunk(std::string_view id, const std::vector<std::uint8_t>& data,
                                bool pad, std::int64_t statedSize) {
  PutText(m_body, id);
  Put32(m_body, statedSize >= 0 ? static_cast<std::uint32_t>(statedSize)
                                : static_cast<std::uint32_t>(data.size()));
  m_body.insert(m_body.end(), data.begin(), data.end());
  if (pad && data.size() % 2 == 1) {
    m_body.push_back(0);
  }
  return *this;
}

RiffBuilder& RiffBuilder::Raw(const std::vector<std::uint8_t>& bytes) {
  m_body.insert(m_body.end(), bytes.begin(), bytes.end());
  return *this;
}

RiffBuilder& RiffBuilder::RiffSize(std::uint32_t size) {
  m_riffSize = size;
  return *this;
}

std::vector<std::uint8_t> RiffBuilder::Build() const {
  std::vector<std::uint8_t> out;
  PutText(out, m_riff);
  Put32(out, m_riffSize >= 0 ? static_cast<std::uint32_t>(m_riffSize)
                             : static_cast<std::uint32_t>(4 + m_body.size()));
  PutText(out, m_form);
  out.insert(out.end(), m_body.begin(), m_body.end());
  return out;
}

std::vector<std::uint8_t> FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                  std::uint16_t bits, std::uint16_t blockAlign,
                                  std::uint32_t bytesPerSecond) {
  std::vector<std::uint8_t> out;
  const std::uint16_t align =
      blockAlign != 0 ? blockAlign : static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
  Put16(out, tag);
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, bytesPerSecond != 0 ? bytesPerSecond : rate * align);
  Put16(out, align);
  Put16(out, bits);
  return out;
}

std::vector<std::uint8_t> PcmWave(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                  const std::vector<std::uint8_t>& data) {
  return RiffBuilder().Chunk("fmt ", FmtBody(1, channels, rate, bits)).Chunk("data", data).Build();
}

std::vector<std::uint8_t> Pcm16Bytes(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> out;
  for (std::int16_t s : samples) {
    Put16(out, static_cast<std::uint16_t>(s));
  }
  return out;
}

std::vector<std::uint8_t> CueBody(
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& points) {
  std::vector<std::uint8_t> out;
  Put32(out, static_cast<std::uint32_t>(points.size()));
  for (const auto& [id, position] : points) {
    Put32(out, id);
    Put32(out, position);
    PutText(out, "data");
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, position);
  }
  return out;
}

std::vector<std::uint8_t> AdtlBody(
    const std::vector<std::pair<std::uint32_t, std::string>>& labels,
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& texts) {
  std::vector<std::uint8_t> out;
  PutText(out, "adtl");
  for (const auto& [id, text] : labels) {
    const std::size_t size = 4 + text.size() + 1;
    PutText(out, "labl");
    Put32(out, static_cast<std::uint32_t>(size));
    Put32(out, id);
    PutText(out, text);
    out.push_back(0);
    if (size % 2 == 1) {
      out.push_back(0);
    }
  }
  for (const auto& [id, length] : texts) {
    PutText(out, "ltxt");
    Put32(out, 20);
    Put32(out, id);
    Put32(out, length);
    out.resize(out.size() + 12, 0);
  }
  return out;
}

}  // namespace testsupport
