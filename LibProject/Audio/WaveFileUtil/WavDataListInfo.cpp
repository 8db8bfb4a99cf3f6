#include "LibProject/Audio/WaveFileUtil/WavDataListInfo.h"

#include <algorithm>

#include "LibProject/Audio/WaveFileUtil/ByteIO.h"

namespace {
constexpr std::size_t kMaxLabelChars = 63;
}  // namespace

bool C_WavDataListInfo::Read(std::span<const std::uint8_t> chunk) {
  SpanReader reader(chunk);
  char listType[4] = {};
  if (!reader.Id(listType) || !SameIdNoCase(listType, "adtl")) {
    return true;
  }
  while (reader.Remaining() > 8) {
    char id[4];
    reader.Id(id);
    const std::uint32_t size = reader.U32();
    const std::span<const std::uint8_t> body =
        reader.Rest().subspan(0, std::min<std::size_t>(size, reader.Remaining()));
    SpanReader sub(body);
    if (SameIdNoCase(id, "labl")) {
      Label label;
      label.cueId = sub.U32();
      const std::span<const std::uint8_t> text = sub.Rest();
      const std::size_t limit = std::min(text.size(), kMaxLabelChars);
      std::size_t length = 0;
      while (length < limit && text[length] != 0) {
        ++length;
      }
      label.text.assign(reinterpret_cast<const char*>(text.data()), length);
      if (body.size() >= 4) {
        m_labels.push_back(std::move(label));
      }
    } else if (SameIdNoCase(id, "ltxt")) {
      LabelledText text;
      text.cueId = sub.U32();
      text.sampleLength = sub.U32();
      if (!sub.Overrun()) {
        m_texts.push_back(text);
      }
    }
    // Sub-chunks are word aligned: an odd size is followed by a pad byte.
    reader.Skip(static_cast<std::size_t>(size) + (size & 1U));
  }
  return true;
}

std::vector<std::uint8_t> C_WavDataListInfo::Render() const {
  std::vector<std::uint8_t> out;
  PutId(out, "adtl");
  for (const Label& label : m_labels) {
    const std::size_t textBytes = label.text.size() + 1;  // with its terminating NUL
    const std::size_t padded = textBytes + (textBytes & 1U);
    PutId(out, "labl");
    PutLE32(out, static_cast<std::uint32_t>(4 + padded));
    PutLE32(out, label.cueId);
    out.insert(out.end(), label.text.begin(), label.text.end());
    out.resize(out.size() + (padded - label.text.size()), 0);
  }
  for (const LabelledText& text : m_texts) {
    PutId(out, "ltxt");
    PutLE32(out, 20);
    PutLE32(out, text.cueId);
    PutLE32(out, text.sampleLength);
    out.resize(out.size() + 12, 0);
  }
  return out;
}

void C_WavDataListInfo::AddLabel(std::uint32_t cueId, std::string text) {
  if (text.size() > kMaxLabelChars) {
    text.resize(kMaxLabelChars);
  }
  m_labels.push_back(Label{cueId, std::move(text)});
}

void C_WavDataListInfo::AddLabelledText(std::uint32_t cueId, std::uint32_t sampleLength) {
  m_texts.push_back(LabelledText{cueId, sampleLength});
}

std::uint32_t C_WavDataListInfo::SampleLengthFor(std::uint32_t cueId) const {
  for (const LabelledText& text : m_texts) {
    if (text.cueId == cueId) {
      return text.sampleLength;
    }
  }
  return 0;
}

void C_WavDataListInfo::Clear() {
  m_labels.clear();
  m_texts.clear();
}
