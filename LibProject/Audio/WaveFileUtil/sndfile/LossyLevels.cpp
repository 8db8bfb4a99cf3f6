// The bitrates libsndfile's lossy encoders give at each compression level, and the level that
// comes nearest a bitrate asked for.
//
// Measured with bench/lossy-curve.sh (libsndfile 1.2.0 of Debian 12, with its libvorbis 1.3.7,
// libopus 1.3.1 and LAME 3.100): examples/speech.wav repeated to 34 s, with a pink room-noise
// floor 50 dB below full scale (each channel its own), resampled to each rate, encoded at each
// level; the bitrate is the file's bytes x 8 over the audio's seconds, in kb/s. Vorbis and Opus
// are measured in their default (variable) mode at steps of 0.1, MP3 in constant-bitrate mode at
// steps of 0.025, each of its bitrates listed at one level inside the span of levels that give
// it.
#include "LibProject/Audio/WaveFileUtil/sndfile/LossyLevels.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <span>

#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"

namespace {

// One measured point: a compression level and the bitrate it gave, kb/s.
struct LevelRate {
  double level;
  double kbps;
};

// Vorbis at the levels 0, 0.1, ... 1 (its quality 1.0 down to -0.1): the bitrate follows the
// rate and the channels, one row each, mono then stereo.
constexpr std::size_t kVorbisPoints = 11;
struct VorbisRow {
  std::uint32_t rate;
  std::array<double, kVorbisPoints> mono;
  std::array<double, kVorbisPoints> stereo;
};
constexpr VorbisRow kVorbisRows[] = {
    {8000,
     {38.1, 36.0, 33.8, 31.8, 29.7, 27.5, 25.3, 22.9, 20.4, 17.8, 15.3},
     {51.5, 48.0, 44.5, 41.0, 37.4, 33.9, 30.4, 27.0, 23.6, 20.3, 17.2}},
    {11025,
     {50.0, 47.3, 44.7, 42.1, 39.6, 37.0, 34.5, 31.8, 28.7, 25.6, 22.3},
     {66.6, 62.2, 58.0, 53.7, 49.6, 45.4, 41.5, 37.5, 33.4, 29.5, 25.5}},
    {16000,
     {74.5, 68.3, 62.0, 55.9, 49.9, 44.3, 40.6, 36.3, 32.3, 28.5, 26.1},
     {102.7, 92.3, 82.0, 72.0, 62.6, 54.6, 49.1, 43.2, 38.1, 33.3, 30.0}},
    {22050,
     {100.9, 90.8, 81.2, 72.0, 63.8, 56.1, 51.1, 45.3, 39.6, 34.3, 31.2},
     {144.1, 126.1, 109.7, 93.7, 81.2, 69.9, 62.1, 54.0, 46.7, 40.4, 36.5}},
    {32000,
     {215.9, 170.9, 147.1, 129.0, 104.8, 83.8, 73.5, 70.2, 63.8, 57.8, 48.2},
     {369.2, 288.5, 243.4, 210.0, 164.6, 122.2, 94.7, 87.8, 75.6, 65.9, 55.5}},
    {44100,
     {242.9, 174.6, 142.4, 128.0, 106.0, 86.6, 77.4, 74.8, 69.6, 63.9, 50.8},
     {406.5, 283.8, 234.9, 204.9, 164.8, 122.9, 99.2, 93.0, 82.2, 73.1, 59.5}},
    {48000,
     {242.8, 173.1, 144.9, 128.8, 108.2, 88.5, 77.5, 74.2, 68.9, 63.9, 52.5},
     {409.1, 284.5, 237.9, 205.7, 165.4, 125.6, 99.0, 92.1, 82.0, 74.6, 61.4}},
};

// Opus at the levels 0, 0.1, ... 1: the same at every rate (the codec runs at 48 kHz inside);
// per channel, from the mono and the stereo file (the stereo figures halved).
constexpr std::array<double, 11> kOpusMono = {258.2, 233.1, 207.9, 182.7, 157.7, 132.7,
                                              107.5, 82.3,  57.3,  31.1,  6.6};
constexpr std::array<double, 11> kOpusPerStereoChannel = {256.7, 232.6, 207.5, 182.4, 157.2, 132.1,
                                                          107.0, 81.9,  56.8,  31.7,  6.3};

// MP3 at constant bitrate: LAME's bitrates of each MPEG version, the same for mono and stereo.
constexpr LevelRate kMp3Mpeg1[] = {  // 32000, 44100 and 48000 Hz
    {0.05, 320.7}, {0.175, 256.5}, {0.325, 224.5}, {0.425, 192.4}, {0.55, 160.3},
    {0.65, 128.3}, {0.7, 112.2},   {0.775, 96.2},  {0.825, 80.2},  {0.875, 64.1},
    {0.9, 56.1},   {0.95, 48.1},   {0.975, 40.1},  {1.0, 32.0}};
constexpr LevelRate kMp3Mpeg2[] = {  // 16000, 22050 and 24000 Hz
    {0.0, 160.6},  {0.1, 144.6},  {0.2, 128.5},  {0.3, 112.4},  {0.4, 96.4},
    {0.5, 80.3},   {0.6, 64.2},   {0.675, 56.2}, {0.725, 48.2}, {0.775, 40.2},
    {0.825, 32.1}, {0.875, 24.1}, {0.925, 16.0}, {0.975, 8.0}};
constexpr LevelRate kMp3Mpeg25[] = {  // 8000, 11025 and 12000 Hz
    {0.025, 64.4}, {0.125, 56.4}, {0.25, 48.3},  {0.4, 40.3},
    {0.55, 32.2},  {0.7, 24.2},   {0.825, 16.1}, {0.975, 8.0}};

// The level of the listed point whose bitrate is nearest `kbps` (as a ratio).
double NearestPoint(std::span<const LevelRate> points, double kbps) {
  double best = points.front().level;
  double bestDistance = INFINITY;
  for (const LevelRate& point : points) {
    const double distance = std::fabs(std::log(point.kbps / kbps));
    if (distance < bestDistance) {
      best = point.level;
      bestDistance = distance;
    }
  }
  return best;
}

// The level, between the points at 0, 0.1, ... 1 of a falling curve scaled by `scale`, whose
// bitrate is `kbps`: interpolated on the logarithm of the bitrate, the ends where it lies beyond.
double OnCurve(const std::array<double, 11>& curve, double scale, double kbps) {
  if (kbps >= curve.front() * scale) {
    return 0.0;
  }
  for (std::size_t i = 1; i < curve.size(); ++i) {
    const double upper = curve[i - 1] * scale;
    const double lower = curve[i] * scale;
    if (kbps >= lower && upper > lower) {
      const double t = std::log(upper / kbps) / std::log(upper / lower);
      return (static_cast<double>(i - 1) + t) / 10.0;
    }
  }
  return 1.0;
}

}  // namespace

C_LossySetting LossySettingFor(std::uint32_t type, std::uint32_t rate, std::uint16_t channels,
                               std::uint32_t bitsPerSecond) {
  if (bitsPerSecond == 0 || channels == 0 || rate == 0) {
    return {};
  }
  const double kbps = bitsPerSecond / 1000.0;
  switch (type) {
    case kFormatTypeOggVorbis: {
      // The row of the nearest rate (as a ratio); more than two channels count as stereo pairs.
      const VorbisRow* row = &kVorbisRows[0];
      for (const VorbisRow& candidate : kVorbisRows) {
        if (std::fabs(std::log(static_cast<double>(candidate.rate) / rate)) <
            std::fabs(std::log(static_cast<double>(row->rate) / rate))) {
          row = &candidate;
        }
      }
      return {false, channels == 1 ? OnCurve(row->mono, 1.0, kbps)
                                   : OnCurve(row->stereo, channels / 2.0, kbps)};
    }
    case kFormatTypeOpus:
      return {false, channels == 1 ? OnCurve(kOpusMono, 1.0, kbps)
                                   : OnCurve(kOpusPerStereoChannel, channels, kbps)};
    case kFormatTypeMp3:
      return {true, NearestPoint(rate <= 12000   ? std::span<const LevelRate>(kMp3Mpeg25)
                                 : rate <= 24000 ? std::span<const LevelRate>(kMp3Mpeg2)
                                                 : std::span<const LevelRate>(kMp3Mpeg1),
                                 kbps)};
    default: return {};
  }
}
