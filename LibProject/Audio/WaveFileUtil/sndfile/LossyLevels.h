#pragma once

#include <cstdint>

/// How libsndfile's lossy encoder of a container is set for one write.
struct C_LossySetting {
  bool constantBitrate = false;  ///< switch the encoder to constant bitrate first (MP3)
  double level = 0.0;            ///< libsndfile's compression level: 0 best quality, 1 smallest
};

/// The setting whose bitrate, as measured on speech (see sndfile/LossyLevels.cpp), comes nearest
/// `bitsPerSecond` for a file of format type `type` (Ogg Vorbis, Opus or MP3) at `rate` Hz and
/// `channels` channels. 0 bits per second, or another type: level 0, the highest quality.
C_LossySetting LossySettingFor(std::uint32_t type, std::uint32_t rate, std::uint16_t channels,
                               std::uint32_t bitsPerSecond);
