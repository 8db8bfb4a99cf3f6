#pragma once

// The fixture of the end-to-end tests: the built program copied into a fresh folder, so that its
// configuration file is created beside it, and run there as a user or a controlling program
// would run it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#if TONVALE_HAVE_SNDFILE
#include "tests/support/SndfileReader.h"
#endif
#include "platform/fs/NativePath.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace apptest {

/// The program's file name as it names itself in the help listing.
#if defined(_WIN32)
inline constexpr const char* kExeName = "tonvale.exe";
#else
inline constexpr const char* kExeName = "tonvale";
#endif

inline std::vector<std::int16_t> Ramp(std::size_t count) {
  std::vector<std::int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<std::int16_t>((i * 37) % 20000 - 10000);
  }
  return samples;
}

class AppFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_exe = m_dir.File(kExeName);
    std::filesystem::copy_file(TONVALE_EXE, m_exe);
#if defined(TONVALE_WINDOW_MODULE_FILE)
    // The window's module goes beside the program, where the program loads it from.
    const std::filesystem::path module(TONVALE_WINDOW_MODULE_FILE);
    std::filesystem::create_symlink(module, m_dir.File(module.filename().string()));
#endif
  }

  // The program never finds a display: a window can only be asked for on purpose.
  testsupport::ProcessResult Run(const std::vector<std::string>& args) {
    return testsupport::RunProcess(m_exe, args, m_dir.Path(), kNoDisplay);
  }
  const std::vector<std::string> kNoDisplay = {"-u", "DISPLAY",        "-u", "WAYLAND_DISPLAY",
                                               "-u", "QT_QPA_PLATFORM"};
  std::string Config() const { return testsupport::ReadFile(m_dir.File("tonvale.ini")); }

  // A 16-bit wave file `name` in the test's folder (its folders made) of `samples` samples of
  // the ramp.
  void RampWave(const std::string& name, std::size_t samples, std::uint32_t rate = 8000,
                std::uint16_t channels = 1) {
    const std::string path = m_dir.File(name);
    std::filesystem::create_directories(platform::NativePath(path).parent_path());
    testsupport::WriteFile(
        path, testsupport::PcmWave(channels, rate, 16, testsupport::Pcm16Bytes(Ramp(samples))));
  }

  // The lines a converted 16-bit mono WAVE file prints, `time` its time line's length and rate
  // and `notes` the lines before the filter's.
  static std::string Converted(const std::string& source, const std::string& output,
                               const std::string& time = "1000 ms,SampleRate:16000 Hz",
                               const std::string& notes = "") {
    return "Information:Open the file.(" + source + ").\r\nInformation:File format is WAV.\r\n" +
           "Information:Time:" + time + ",BitPerSample:16,Channel:1.\r\n" + notes +
           "Information:Apply the equalizer filter parameter.\r\n" +
           "Information:Write to output file(" + output + ").\r\n";
  }

  // What the schema validator says of the report `name` in the test's folder (empty: valid).
  std::string SchemaProblems(const std::string& name) const {
    return testsupport::JsonSchemaProblems(SCHEMA_FILE, m_dir.File(name));
  }

  testsupport::TempDir m_dir;
  std::string m_exe;
};

#if TONVALE_HAVE_SNDFILE
// The samples of a file as the independent reader (libsndfile) sees them. Tests that need it are
// left out of builds without the reader (Windows).
inline std::vector<short> ReadSamples(const std::string& path) {
  const testsupport::SndfileRead read = testsupport::ReadWithSndfile(path);
  EXPECT_TRUE(read.ok) << "libsndfile cannot read " << path;
  return read.samples;
}
#endif

}  // namespace apptest
