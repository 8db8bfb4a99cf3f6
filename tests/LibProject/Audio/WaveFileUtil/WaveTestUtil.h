#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

inline std::string WriteBytes(const TempDir& dir, const std::string& name,
                              const std::vector<std::uint8_t>& bytes) {
  WriteFile(dir.File(name), bytes);
  return dir.File(name);
}

/// Opens a file through the registry with its samples, as the conversion does.
inline T_RefPtr<I_WavFile> Open(const std::string& path) {
  C_WavFileFormat registry;
  return registry.OpenFile(path, 1, 1);
}

inline std::vector<std::int16_t> Samples16(I_WavData& data) {
  std::vector<std::int16_t> samples(data.GetDataLength() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const std::uint8_t* p = data.GetBuffer() + 2 * i;
    samples[i] = static_cast<std::int16_t>(p[0] | (p[1] << 8));
  }
  return samples;
}

}  // namespace testsupport
