#include "tests/support/SndfileReader.h"

namespace testsupport {

SndfileRead ReadWithSndfile(const std::string& path) {
  SndfileRead read;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &read.info);
  if (file == nullptr) {
    return read;
  }
  read.samples.resize(static_cast<std::size_t>(read.info.frames * read.info.channels));
  const sf_count_t got =
      sf_read_short(file, read.samples.data(), static_cast<sf_count_t>(read.samples.size()));
  read.samples.resize(static_cast<std::size_t>(got));
  sf_close(file);
  read.ok = true;
  return read;
}

}  // namespace testsupport
