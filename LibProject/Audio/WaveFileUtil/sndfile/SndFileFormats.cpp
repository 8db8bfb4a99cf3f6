#include "LibProject/Audio/WaveFileUtil/sndfile/SndFileFormats.h"

#include <sndfile.h>

#include <cstring>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"

namespace {

// The containers of the class: libsndfile's major format and our type id.
struct Container {
  int major;
  std::uint32_t type;
};
constexpr Container kContainers[] = {
    {SF_FORMAT_FLAC, kFormatTypeFlac},   {SF_FORMAT_OGG, kFormatTypeOggVorbis},
    {SF_FORMAT_MPEG, kFormatTypeMp3},    {SF_FORMAT_AIFF, kFormatTypeAiff},
    {SF_FORMAT_CAF, kFormatTypeCaf},     {SF_FORMAT_W64, kFormatTypeW64},
    {SF_FORMAT_AU, kFormatTypeAu},       {SF_FORMAT_WAV, kFormatTypeSndWav},
    {SF_FORMAT_RF64, kFormatTypeSndWav},
};

}  // namespace

namespace sndfile_detail {

// The type id of a file libsndfile opened; 0 for a container this class does not take.
std::uint32_t TypeOf(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  const int sub = format & SF_FORMAT_SUBMASK;
  if (major == SF_FORMAT_OGG) {
    return sub == SF_FORMAT_OPUS ? kFormatTypeOpus : kFormatTypeOggVorbis;
  }
  for (const Container& c : kContainers) {
    if (c.major == major) {
      return c.type;
    }
  }
  return 0;
}

bool IsLossy(int sub) {
  return sub == SF_FORMAT_VORBIS || sub == SF_FORMAT_OPUS || sub == SF_FORMAT_MPEG_LAYER_I ||
         sub == SF_FORMAT_MPEG_LAYER_II || sub == SF_FORMAT_MPEG_LAYER_III;
}

// Bytes per sample of a format libsndfile stores uncompressed; 0 for a compressed one (FLAC
// states its samples as PCM widths, but compresses them).
unsigned PlainWidth(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  if (major == SF_FORMAT_FLAC || major == SF_FORMAT_OGG || major == SF_FORMAT_MPEG) {
    return 0;
  }
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
  }
}

Layout LayoutFor(int format) {
  const int sub = format & SF_FORMAT_SUBMASK;
  if (IsLossy(sub)) {
    return {32, true};  // lossy sources are filtered as 32-bit float values
  }
  switch (sub) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return {8, false};
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_ALAC_20:
    case SF_FORMAT_ALAC_24: return {24, false};
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ALAC_32: return {32, false};
    case SF_FORMAT_FLOAT: return {32, true};
    case SF_FORMAT_DOUBLE: return {64, true};
    default: return {16, false};
  }
}

// The total samples the STREAMINFO at the start of `source` states; empty when the source does
// not start with one.
std::optional<std::uint64_t> FlacStatedFrames(I_ByteSource& source) {
  std::uint8_t head[kFlacTotalEnd];
  if (!source.ReadExact(0, head, sizeof head) || std::memcmp(head, "fLaC", 4) != 0 ||
      (head[4] & 0x7FU) != 0 || head[5] != 0 || head[6] != 0 || head[7] != 34) {
    return std::nullopt;
  }
  std::uint64_t total = head[kFlacTotalFirst] & 0x0FU;
  for (std::uint64_t i = kFlacTotalFirst + 1; i < kFlacTotalEnd; ++i) {
    total = (total << 8) | head[i];
  }
  return total;
}

// True when the last Ogg page of `source` is whole and closes its stream (the end-of-stream
// flag of its header): a file cut anywhere lacks that page.
bool OggStreamEnds(I_ByteSource& source) {
  constexpr std::size_t kHeaderBytes = 27;
  constexpr std::uint64_t kMaxPageBytes = kHeaderBytes + 255 + 255 * 255;
  const std::uint64_t size = source.Size();
  const std::uint64_t from = size > kMaxPageBytes ? size - kMaxPageBytes : 0;
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(size - from));
  tail.resize(source.ReadAt(from, tail.data(), tail.size()));
  for (std::size_t at = tail.size() >= kHeaderBytes ? tail.size() - kHeaderBytes + 1 : 0;
       at-- > 0;) {
    if (std::memcmp(tail.data() + at, "OggS", 4) != 0 || tail[at + 4] != 0) {
      continue;  // not a page header (version 0)
    }
    const std::size_t segments = tail[at + 26];
    if (at + kHeaderBytes + segments > tail.size()) {
      return false;
    }
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments; ++i) {
      body += tail[at + kHeaderBytes + i];
    }
    return at + kHeaderBytes + segments + body <= tail.size() && (tail[at + 5] & 0x04U) != 0;
  }
  return false;
}

// Bytes of an ID3v2 tag at the start of `source` (MP3 files often carry one, with pictures),
// which hold no audio; 0 without one.
std::uint64_t LeadingTagBytes(I_ByteSource& source) {
  std::uint8_t h[10];
  if (!source.ReadExact(0, h, sizeof h) || std::memcmp(h, "ID3", 3) != 0 ||
      ((h[6] | h[7] | h[8] | h[9]) & 0x80U) != 0) {
    return 0;
  }
  const std::uint64_t size = (static_cast<std::uint64_t>(h[6]) << 21) |
                             (static_cast<std::uint64_t>(h[7]) << 14) |
                             (static_cast<std::uint64_t>(h[8]) << 7) | h[9];
  return 10 + size + ((h[5] & 0x10U) != 0 ? 10 : 0);  // a footer repeats the header
}

// True when an MP3 file states its length: its first frame holds a Xing, Info or VBRI header
// (after any ID3v2 tag). Without one, libsndfile's length is an estimate from the file's size.
bool Mp3StatesLength(I_ByteSource& source) {
  std::uint8_t start[512];
  const std::size_t got = source.ReadAt(LeadingTagBytes(source), start, sizeof start);
  for (std::size_t at = 0; at + 4 <= got; ++at) {
    for (const char* tag : {"Xing", "Info", "VBRI"}) {
      if (std::memcmp(start + at, tag, 4) == 0) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace sndfile_detail
