#pragma once

// The outside programs and library that check our files independently: sox, ffmpeg and
// libsndfile each decode a file to double samples in [-1, 1] and say what they found in it.
#include <string>
#include <vector>

namespace testsupport {

/// What an outside decoder found in a file.
struct Decoded {
  bool ok = false;
  int rate = 0;
  int channels = 0;
  int bits = 0;                 ///< bits of the stored samples (0 when the decoder cannot tell)
  bool isFloat = false;         ///< floating-point samples
  std::vector<double> samples;  ///< interleaved, integers scaled to [-1, 1)
};

Decoded DecodeWithSox(const std::string& path);
Decoded DecodeWithFfmpeg(const std::string& path);
Decoded DecodeWithSndfile(const std::string& path);

}  // namespace testsupport
