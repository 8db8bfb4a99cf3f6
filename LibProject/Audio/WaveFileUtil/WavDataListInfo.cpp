#include "LibProject/Audio/WaveFileUtil/WavDataListInfo.h"

#include <algorithm>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavDataCueInfo.h"
#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

namespace {

constexpr std::size_t kMaxLabelChars = 63;

// The sub-chunks of associated data, each starting with the cue id it belongs to.
constexpr const char* kCueSubChunkIds[] = {"labl", "note", "ltxt", "file"};

// An "ltxt" holds the cue id and the sample length, then a purpose, country, language, dialect
// and code page (12 bytes) and its text.
constexpr std::size_t kLabelledTextFixedBytes = 20;

}  // namespace

std::uint32_t C_WavDataListInfo::C_SubChunk::CueId() const {
  return bytes.size() >= 4 ? GetLE32(bytes.data()) : 0;
}

bool C_WavDataListInfo::C_SubChunk::IsId(const char* other) const {
  return SameIdNoCase(id, other);
}

bool C_WavDataListInfo::ParseLabel(const C_SubChunk& subChunk, C_Label& label) {
  if (!subChunk.IsId("labl") || subChunk.bytes.size() < 4) {
    return false;
  }
  label.cueId = subChunk.CueId();
  const std::span<const std::uint8_t> text = std::span(subChunk.bytes).subspan(4);
  const std::size_t limit = std::min(text.size(), kMaxLabelChars);
  std::size_t length = 0;
  while (length < limit && text[length] != 0) {
    ++length;
  }
  label.text.assign(reinterpret_cast<const char*>(text.data()), length);
  return true;
}

bool C_WavDataListInfo::ParseLabelledText(const C_SubChunk& subChunk, C_LabelledText& text) {
  if (!subChunk.IsId("ltxt") || subChunk.bytes.size() < 8) {
    return false;
  }
  text.cueId = subChunk.CueId();
  text.sampleLength = GetLE32(subChunk.bytes.data() + 4);
  return true;
}

bool C_WavDataListInfo::IsPlainLabelledText(const C_SubChunk& subChunk) {
  return subChunk.IsId("ltxt") && subChunk.bytes.size() == kLabelledTextFixedBytes &&
         std::all_of(subChunk.bytes.begin() + 8, subChunk.bytes.end(),
                     [](std::uint8_t b) { return b == 0; });
}

bool C_WavDataListInfo::Read(std::span<const std::uint8_t> chunk) {
  C_SpanReader reader(chunk);
  char listType[4] = {};
  if (!reader.Id(listType) || !SameIdNoCase(listType, "adtl")) {
    return true;
  }
  while (reader.Remaining() > 8) {
    C_SubChunk subChunk;
    reader.Id(subChunk.id);
    const std::uint32_t size = reader.U32();
    const std::span<const std::uint8_t> body =
        reader.Rest().subspan(0, std::min<std::size_t>(size, reader.Remaining()));
    const bool known = std::any_of(std::begin(kCueSubChunkIds), std::end(kCueSubChunkIds),
                                   [&subChunk](const char* id) { return subChunk.IsId(id); });
    if (known && body.size() >= 4) {
      subChunk.bytes.assign(body.begin(), body.end());
      Append(std::move(subChunk));
    }
    // Sub-chunks are word aligned: an odd size is followed by a pad byte.
    reader.Skip(static_cast<std::size_t>(size) + (size & 1U));
  }
  return true;
}

std::vector<std::uint8_t> C_WavDataListInfo::Render() const {
  std::vector<std::uint8_t> out;
  PutId(out, "adtl");
  for (const C_SubChunk& subChunk : m_subChunks) {
    PutId(out, subChunk.id);
    PutLE32(out, static_cast<std::uint32_t>(subChunk.bytes.size()));
    out.insert(out.end(), subChunk.bytes.begin(), subChunk.bytes.end());
    if ((subChunk.bytes.size() & 1U) != 0) {
      out.push_back(0);
    }
  }
  return out;
}

bool C_WavDataListInfo::NeedsChunk() const {
  return std::any_of(m_subChunks.begin(), m_subChunks.end(), [](const C_SubChunk& subChunk) {
    return !subChunk.added || subChunk.IsId("labl");
  });
}

void C_WavDataListInfo::Append(C_SubChunk subChunk) {
  C_Label label;
  C_LabelledText text;
  if (ParseLabel(subChunk, label)) {
    m_labels.push_back(std::move(label));
  } else if (ParseLabelledText(subChunk, text)) {
    m_texts.push_back(text);
  }
  m_subChunks.push_back(std::move(subChunk));
}

void C_WavDataListInfo::AddLabel(std::uint32_t cueId, std::string text) {
  if (text.size() > kMaxLabelChars) {
    text.resize(kMaxLabelChars);
  }
  const std::size_t textBytes = text.size() + 1;  // with its terminating NUL
  const std::size_t padded = textBytes + (textBytes & 1U);
  C_SubChunk subChunk{{'l', 'a', 'b', 'l'}, {}, true};
  PutLE32(subChunk.bytes, cueId);
  subChunk.bytes.insert(subChunk.bytes.end(), text.begin(), text.end());
  subChunk.bytes.resize(subChunk.bytes.size() + (padded - text.size()), 0);
  Append(std::move(subChunk));
}

void C_WavDataListInfo::AddLabelledText(std::uint32_t cueId, std::uint32_t sampleLength) {
  C_SubChunk subChunk{{'l', 't', 'x', 't'}, {}, true};
  PutLE32(subChunk.bytes, cueId);
  PutLE32(subChunk.bytes, sampleLength);
  subChunk.bytes.resize(kLabelledTextFixedBytes, 0);
  Append(std::move(subChunk));
}

void C_WavDataListInfo::KeepSubChunk(const C_SubChunk& subChunk) {
  C_SubChunk kept = subChunk;
  kept.added = false;
  Append(std::move(kept));
}

std::uint32_t C_WavDataListInfo::SampleLengthFor(std::uint32_t cueId) const {
  for (const C_LabelledText& text : m_texts) {
    if (text.cueId == cueId) {
      return text.sampleLength;
    }
  }
  return 0;
}

void C_WavDataListInfo::Clear() {
  m_subChunks.clear();
  m_labels.clear();
  m_texts.clear();
}

void C_WavDataListInfo::ScaleToRate(std::uint32_t fromRate, std::uint32_t toRate) {
  std::vector<C_SubChunk> subChunks;
  subChunks.swap(m_subChunks);
  m_labels.clear();
  m_texts.clear();
  for (C_SubChunk& subChunk : subChunks) {
    C_LabelledText text;
    if (subChunk.IsId("ltxt") && ParseLabelledText(subChunk, text)) {
      // The sample length follows the cue id: bytes 4 to 7, little-endian.
      const std::uint32_t length = ScaleSamplePosition(text.sampleLength, fromRate, toRate);
      for (int i = 0; i < 4; ++i) {
        subChunk.bytes[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
      }
    }
    Append(std::move(subChunk));
  }
}
