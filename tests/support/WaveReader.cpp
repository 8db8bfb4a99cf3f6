#include "tests/support/WaveReader.h"

#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

WaveRead ReadWave(const std::string& path) {
  WaveRead read;
  const std::string b = ReadFile(path);
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
    return read;
  }
  bool haveFormat = false;
  std::string data;
  bool haveData = false;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::string id = b.substr(at, 4);
    const std::uint32_t size = Le32At(b, at + 4);
    if (size > b.size() - (at + 8)) {
      return read;  // a chunk past the end of the file
    }
    if (id == "fmt " && !haveFormat && size >= 16) {
      read.formatTag = Le16At(b, at + 8);
      read.channels = Le16At(b, at + 10);
      read.sampleRate = Le32At(b, at + 12);
      read.bits = Le16At(b, at + 22);
      haveFormat = true;
    } else if (id == "data" && !haveData) {
      data = b.substr(at + 8, size);
      haveData = true;
    }
    at += 8 + static_cast<std::size_t>(size) + (size & 1U);
  }
  if (!haveFormat || !haveData) {
    return read;
  }
  read.ok = true;
  if (read.formatTag == 1 && read.bits == 16) {
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      read.samples.push_back(static_cast<std::int16_t>(Le16At(data, i)));
    }
  } else if (read.formatTag == 1 && read.bits == 8) {
    for (const char c : data) {
      read.samples.push_back(static_cast<std::int16_t>((static_cast<std::uint8_t>(c) - 128) * 256));
    }
  }
  return read;
}

}  // namespace testsupport
