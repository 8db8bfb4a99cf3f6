#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace testsupport {

/// A wave file as the independent reader (libsndfile) sees it: its format and every sample,
/// interleaved, as 16-bit values. `ok` is false when libsndfile cannot open it.
struct SndfileRead {
  bool ok = false;
  SF_INFO info{};
  std::vector<short> samples;
};

SndfileRead ReadWithSndfile(const std::string& path);

}  // namespace testsupport
