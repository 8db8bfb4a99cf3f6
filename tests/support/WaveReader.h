#pragma once

// A minimal RIFF/WAVE reader written for the tests, independent of the program's file library
// and buildable everywhere (libsndfile, the other independent reader, has no Windows build): it
// walks the chunks, takes the first "fmt " and "data", and gives the samples of 8-bit and 16-bit
// PCM files.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

/// A wave file as the tests' own reader sees it.
struct WaveRead {
  bool ok = false;  ///< a RIFF/WAVE file with "fmt " and "data" chunks that fit the file
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t bits = 0;
  /// Every sample, interleaved, on the 16-bit scale: 16-bit PCM as stored, 8-bit PCM as
  /// (byte - 128) x 256; empty for other formats.
  std::vector<std::int16_t> samples;
};

WaveRead ReadWave(const std::string& path);

}  // namespace testsupport
