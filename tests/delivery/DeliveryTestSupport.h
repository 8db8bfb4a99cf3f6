#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the delivery tests share: the loudness signals made by the script beside them, the
// independent reader and writer of their files (libsndfile), and ffmpeg's and sox's readings.
namespace deliverytest {

/// Interleaved samples of a file, full scale 1.0.
struct Samples {
  int channels = 0;
  std::uint32_t rate = 0;
  std::vector<double> values;
  std::size_t Frames() const { return values.size() / static_cast<std::size_t>(channels); }
};

/// Runs sox with `args` in `folder`; true when it succeeded.
bool Sox(const std::vector<std::string>& args, const std::string& folder = ".");

/// Writes the loudness signal `name` of make-loudness-signals.py into `folder`; its path.
std::string MakeSignal(const std::string& name, const std::string& folder);

/// The samples of `path` as libsndfile reads them (empty values when it cannot).
Samples ReadWave(const std::string& path);

/// Writes `samples` as a WAVE file of 64-bit floats through libsndfile.
bool WriteDoubleWave(const std::string& path, const Samples& samples);

/// What ffmpeg's ebur128 filter (a second, independent meter) reads in a file.
struct FfmpegLoudness {
  double integratedLufs = 0.0;
  double rangeLu = 0.0;
  double truePeakDbtp = 0.0;
};
std::optional<FfmpegLoudness> ReadWithFfmpeg(const std::string& path);

/// A sine of `amplitude` (full scale 1.0) and `freq` Hz at `rate`, the same in each channel.
Samples Sine(std::uint32_t rate, int channels, double seconds, double freq, double amplitude);

}  // namespace deliverytest
