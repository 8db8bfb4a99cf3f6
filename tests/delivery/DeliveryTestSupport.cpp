#include "tests/delivery/DeliveryTestSupport.h"

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <utility>

#include "tests/support/OutsideDecoders.h"
#include "tests/support/TestSupport.h"

namespace deliverytest {

std::string MakeSignal(const std::string& name, const std::string& folder) {
  const std::string path = folder + "/" + name + ".wav";
  // Debian's Python, which has Debian's numpy.
  const testsupport::ProcessResult r = testsupport::RunProcess(
      "/usr/bin/python3",
      {std::string(DELIVERY_TEST_DIR) + "/make-loudness-signals.py", name, path});
  return r.exitCode == 0 ? path : std::string();
}

bool Sox(const std::vector<std::string>& args, const std::string& folder) {
  return testsupport::RunProcess("/usr/bin/sox", args, folder).exitCode == 0;
}

Samples ReadWave(const std::string& path) {
  testsupport::Decoded read = testsupport::DecodeWithSndfile(path);
  return {read.channels, static_cast<std::uint32_t>(read.rate), std::move(read.samples)};
}

bool WriteDoubleWave(const std::string& path, const Samples& samples) {
  SF_INFO info{};
  info.channels = samples.channels;
  info.samplerate = static_cast<int>(samples.rate);
  info.format = SF_FORMAT_WAV | SF_FORMAT_DOUBLE;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    return false;
  }
  const auto frames = static_cast<sf_count_t>(samples.Frames());
  const bool ok = sf_writef_double(file, samples.values.data(), frames) == frames;
  return sf_close(file) == 0 && ok;
}

std::optional<FfmpegLoudness> ReadWithFfmpeg(const std::string& path) {
  const testsupport::ProcessResult r = testsupport::RunProcess(
      "/usr/bin/ffmpeg",
      {"-nostats", "-hide_banner", "-i", path, "-af", "ebur128=peak=true", "-f", "null", "-"});
  if (r.exitCode != 0) {
    return std::nullopt;
  }
  // The summary at the end: "I: -23.0 LUFS", "LRA: 0.0 LU", and under "True peak:",
  // "Peak: -6.0 dBFS".
  const std::size_t summary = r.err.rfind("Summary:");
  if (summary == std::string::npos) {
    return std::nullopt;
  }
  std::istringstream lines(r.err.substr(summary));
  lines.imbue(std::locale::classic());
  FfmpegLoudness read;
  int found = 0;
  for (std::string word; lines >> word;) {
    double* target = word == "I:"      ? &read.integratedLufs
                     : word == "LRA:"  ? &read.rangeLu
                     : word == "Peak:" ? &read.truePeakDbtp
                                       : nullptr;
    if (target != nullptr && lines >> *target) {
      ++found;
    }
  }
  if (found != 3) {
    return std::nullopt;
  }
  return read;
}

Samples Sine(std::uint32_t rate, int channels, double seconds, double freq, double amplitude) {
  Samples s;
  s.channels = channels;
  s.rate = rate;
  const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
  s.values.resize(frames * static_cast<std::size_t>(channels));
  for (std::size_t f = 0; f < frames; ++f) {
    const double v =
        amplitude * std::sin(2.0 * std::numbers::pi * freq * static_cast<double>(f) / rate);
    for (int c = 0; c < channels; ++c) {
      s.values[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = v;
    }
  }
  return s;
}

}  // namespace deliverytest
