#include "tests/support/OutsideDecoders.h"

#include <sndfile.h>

#include <cstring>
#include <sstream>

#include "tests/support/TestSupport.h"

namespace testsupport {
namespace {

std::vector<double> Doubles(const std::string& bytes) {
  std::vector<double> samples(bytes.size() / sizeof(double));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(double));
  return samples;
}

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

Decoded DecodeWithSox(const std::string& path) {
  Decoded decoded;
  TempDir dir;
  const std::string raw = dir.File("out.f64");
  const ProcessResult run = RunProcess(
      "/usr/bin/sox", {"-D", path, "-t", "raw", "-e", "floating-point", "-b", "64", "-L", raw});
  const ProcessResult rate = RunProcess("/usr/bin/soxi", {"-r", path});
  const ProcessResult channels = RunProcess("/usr/bin/soxi", {"-c", path});
  const ProcessResult bits = RunProcess("/usr/bin/soxi", {"-b", path});
  const ProcessResult encoding = RunProcess("/usr/bin/soxi", {"-e", path});
  if (run.exitCode != 0 || rate.exitCode != 0) {
    return decoded;
  }
  decoded.ok = true;
  decoded.rate = std::stoi(rate.out);
  decoded.channels = std::stoi(channels.out);
  decoded.bits = std::atoi(bits.out.c_str());
  decoded.isFloat = encoding.out.find("Floating") != std::string::npos;
  decoded.samples = Doubles(ReadFile(raw));
  return decoded;
}

Decoded DecodeWithFfmpeg(const std::string& path) {
  Decoded decoded;
  TempDir dir;
  const std::string raw = dir.File("out.f64");
  const ProcessResult run = RunProcess(
      "/usr/bin/ffmpeg", {"-v", "error", "-i", path, "-f", "f64le", "-c:a", "pcm_f64le", raw});
  const std::string entries =
      "stream=sample_rate,channels,sample_fmt,bits_per_raw_sample,bits_per_sample";
  const ProcessResult probe =
      RunProcess("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                      entries, "-of", "default=noprint_wrappers=1", path});
  if (run.exitCode != 0 || probe.exitCode != 0 || !run.err.empty()) {
    return decoded;
  }
  std::istringstream lines(probe.out);
  std::string line;
  int rawBits = 0;
  int sampleBits = 0;
  std::string sampleFormat;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    const std::string key = line.substr(0, eq);
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "sample_rate") decoded.rate = std::atoi(value.c_str());
    if (key == "channels") decoded.channels = std::atoi(value.c_str());
    if (key == "sample_fmt") sampleFormat = value;
    if (key == "bits_per_raw_sample") rawBits = std::atoi(value.c_str());
    if (key == "bits_per_sample") sampleBits = std::atoi(value.c_str());
  }
  decoded.ok = true;
  decoded.isFloat = sampleFormat.rfind("flt", 0) == 0 || sampleFormat.rfind("dbl", 0) == 0;
  decoded.bits = rawBits != 0 ? rawBits : sampleBits;
  decoded.samples = Doubles(ReadFile(raw));
  return decoded;
}

Decoded DecodeWithSndfile(const std::string& path) {
  Decoded decoded;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    return decoded;
  }
  decoded.ok = true;
  decoded.rate = info.samplerate;
  decoded.channels = info.channels;
  switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: decoded.bits = 8; break;
    case SF_FORMAT_PCM_16: decoded.bits = 16; break;
    case SF_FORMAT_PCM_24: decoded.bits = 24; break;
    case SF_FORMAT_PCM_32: decoded.bits = 32; break;
    case SF_FORMAT_FLOAT:
      decoded.bits = 32;
      decoded.isFloat = true;
      break;
    case SF_FORMAT_DOUBLE:
      decoded.bits = 64;
      decoded.isFloat = true;
      break;
    default: break;
  }
  decoded.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_double(file, decoded.samples.data(), info.frames);
  decoded.samples.resize(static_cast<std::size_t>(got * info.channels));
  sf_close(file);
  return decoded;
}

}  // namespace testsupport
