#pragma once

// What the reading and the writing through libsndfile share: the block size of every call, the
// text tags, and the layouts the samples are held in. Internal to the library.
#include <sndfile.h>

#include <array>
#include <cstddef>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavData.h"

namespace sndfile_detail {

// Frames of one libsndfile read or write call.
inline constexpr sf_count_t kBlockFrames = 4096;

// libsndfile's string ids and the tags they are kept as.
inline const std::array<std::pair<int, C_WavDataTextInfo::Kind>, 10> kTagKinds = {{
    {SF_STR_TITLE, C_WavDataTextInfo::Kind::Title},
    {SF_STR_COPYRIGHT, C_WavDataTextInfo::Kind::Copyright},
    {SF_STR_SOFTWARE, C_WavDataTextInfo::Kind::Software},
    {SF_STR_ARTIST, C_WavDataTextInfo::Kind::Artist},
    {SF_STR_COMMENT, C_WavDataTextInfo::Kind::Comment},
    {SF_STR_DATE, C_WavDataTextInfo::Kind::Date},
    {SF_STR_ALBUM, C_WavDataTextInfo::Kind::Album},
    {SF_STR_LICENSE, C_WavDataTextInfo::Kind::License},
    {SF_STR_TRACKNUMBER, C_WavDataTextInfo::Kind::TrackNumber},
    {SF_STR_GENRE, C_WavDataTextInfo::Kind::Genre},
}};

// How the container holds the samples: the frame's channels, the bytes per sample, float or
// integer (8-bit unsigned; wider ones signed).
struct HeldLayout {
  std::size_t channels = 0;
  unsigned width = 0;
  bool isFloat = false;
  std::size_t FrameBytes() const { return channels * width; }
};

inline HeldLayout HeldLayoutOf(const I_WavInfo& info) {
  return {info.GetChannels(), info.GetStorageBits() / 8U,
          info.GetEncoding().sampleTag == kWaveTagFloat};
}

}  // namespace sndfile_detail
