// Runs the built program on the inputs a careless user or a hostile file gives it: every case
// ends with a clear line and an exit status, never an abort, a hang or a lost file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/AppFixture.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using apptest::Ramp;
#if TONVALE_HAVE_SNDFILE
using apptest::ReadSamples;
#endif
using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::WriteFile;

using HostileInputTest = apptest::AppFixture;

constexpr const char* kTerminatedFailed = "Terminated:ConvertFile:Result:0\r\n";

// A settings file with one band at EQ index 0 (BandNum 1), the band given as its seven values.
std::string OneBandSettings(int type, double gain, double qual, double centFreq, double cutoffFreq,
                            double stopFreq) {
  char text[512];
  std::snprintf(text, sizeof text,
                "[MusicEQ]\nMusicEQ_Index00=MusicEQBand00\n[MusicEQBand00]\nBandNum=1\n"
                "SampleRate=48000\nBand00_Type=%d\nBand00_Enable=1\nBand00_Gain=%f\n"
                "Band00_Qual=%f\nBand00_CentFreq=%f\nBand00_CutoffFreq=%f\nBand00_StopFreq=%f\n",
                type, gain, qual, centFreq, cutoffFreq, stopFreq);
  return text;
}

// Settings that cannot be loaded fail the conversion with a line that says why: a missing file,
// no setup at the index, UTF-16 text, and a folder, a FIFO or a device, which is never opened for
// reading: no abort, no hang.
TEST_F(HostileInputTest, SettingsThatCannotBeLoadedFailTheConversionAndSayWhy) {
  RampWave("in.wav", 480, 48000);
  WriteFile(m_dir.File("other.cfg"), OneBandSettings(1, 6, 1, 1000, 0, 0));
  std::string utf16 = "\xFF\xFE";
  for (const char c : OneBandSettings(1, 6, 1, 1000, 0, 0)) {
    utf16 += c;
    utf16 += '\0';
  }
  WriteFile(m_dir.File("utf16.cfg"), utf16);
  fs::create_directory(m_dir.File("folder.cfg"));
  struct Case {
    std::string settings;
    std::string index;
    std::string reason;
  };
  const std::string noSetup = "the file holds no setup for this EQ index";
  std::vector<Case> cases = {
      {"none.cfg", "0", "the file does not exist"},
      {"other.cfg", "3", noSetup},
      {"utf16.cfg", "0", noSetup + " (it is saved as UTF-16 text; save it as UTF-8 or ANSI text)"},
      {"folder.cfg", "0", "the file cannot be read: it is a folder"},
  };
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo(m_dir.File("fifo.cfg").c_str(), 0600), 0);
  cases.push_back({"fifo.cfg", "0", "the file cannot be read: it is not a regular file"});
  cases.push_back({"/dev/zero", "0", "the file cannot be read: it is not a regular file"});
#endif
  for (const Case& c : cases) {
    testsupport::ChildProcess child(
        m_exe,
        {"/command", "/access_setting:" + c.settings, "/eq_index:" + c.index,
         "/convert_source:in.wav", "/convert_output:out.wav"},
        m_dir.Path(), kNoDisplay);
    const ProcessResult r = child.Wait(20000);
    EXPECT_EQ(r.exitCode, 2) << c.settings;
    EXPECT_EQ(r.out, "Error:Can't load EQ index " + c.index + " from the settings file(" +
                         c.settings + "): " + c.reason + ".\r\n" + kTerminatedFailed);
    EXPECT_EQ(r.err, "") << c.settings;
    EXPECT_FALSE(fs::exists(m_dir.File("out.wav")));
  }

  // The same kinds of path as the configuration file: the built-in configuration applies, whose
  // disabled default bands keep every sample.
  fs::remove(m_dir.File("tonvale.ini"));
  fs::create_directory(m_dir.File("tonvale.ini"));
  const ProcessResult r = Run({"/command", "/convert_source:in.wav", "/convert_output:out.wav"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(fs::is_directory(m_dir.File("tonvale.ini")));
#if TONVALE_HAVE_SNDFILE
  const auto out = ReadSamples(m_dir.File("out.wav"));
  EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.end()), Ramp(480));
#endif
}

TEST_F(HostileInputTest, BandsThatMakeNoFilterAreNamedInsteadOfWritingGarbage) {
  RampWave("in.wav", 4800, 48000);
  struct Case {
    std::string settings;
    std::string line;
  };
  const Case cases[] = {
      {OneBandSettings(1, 6, 0, 1000, 0, 0),
       "Band00 (bell) is left out at 48000 Hz: its Q 0 makes no filter (it must be above 0)."},
      {OneBandSettings(1, 6, -0.5, 1000, 0, 0),
       "Band00 (bell) is left out at 48000 Hz: its Q -0.5 makes no filter (it must be above 0)."},
      {OneBandSettings(2, 30, 0.707, 0, 80, 79),
       "Band00 (high-pass) is left out at 48000 Hz: its filter of order 275 is too steep to "
       "compute with precision (a gain above 190 dB inside its cascade)."},
      // A preamp that is no usable number once wrote silence, or took 0 dB without a word.
      {OneBandSettings(1, 6, 0, 1000, 0, 0) + "Preamp=1e308\n",
       "The preamp is left out: its gain 1e+308 dB lies outside -60 to 60 dB.\r\n"
       "Information:Band00 (bell) is left out at 48000 Hz: its Q 0 makes no filter (it must be "
       "above 0)."},
      {OneBandSettings(1, 6, 0, 1000, 0, 0) + "Preamp=abc\n",
       "The preamp is left out: its gain is not a number.\r\n"
       "Information:Band00 (bell) is left out at 48000 Hz: its Q 0 makes no filter (it must be "
       "above 0)."},
  };
  for (const Case& c : cases) {
    WriteFile(m_dir.File("user.cfg"), c.settings);
    const ProcessResult r = Run({"/command", "/access_setting:user.cfg", "/convert_source:in.wav",
                                 "/convert_output:out.wav"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, Converted("in.wav", "out.wav", "100 ms,SampleRate:48000 Hz",
                               "Information:" + c.line + "\r\n") +
                         "Terminated:ConvertFile:Result:1\r\n");
#if TONVALE_HAVE_SNDFILE
    const auto out = ReadSamples(m_dir.File("out.wav"));
    EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.end()), Ramp(4800));
#endif
  }
}

#if !defined(_WIN32)  // file permissions and file-size limits of POSIX systems
TEST_F(HostileInputTest, ASettingsFileWithoutReadPermissionEndsWithAnErrorLine) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads the file whatever its permissions";
  }
  RampWave("in.wav", 80);
  WriteFile(m_dir.File("secret.cfg"), OneBandSettings(1, 6, 1, 1000, 0, 0));
  ASSERT_EQ(::chmod(m_dir.File("secret.cfg").c_str(), 0), 0);
  const ProcessResult r = Run({"/command", "/access_setting:secret.cfg", "/convert_source:in.wav",
                               "/convert_output:out.wav"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out,
            "Error:Can't load EQ index 0 from the settings file(secret.cfg): the file "
            "cannot be read: permission denied.\r\n" +
                std::string(kTerminatedFailed));
}
#endif

#if !defined(_WIN32)  // file permissions and file-size limits of POSIX systems
TEST_F(HostileInputTest, AFailedWriteKeepsTheEarlierOutputAndNamesItsCause) {
  RampWave("in.wav", 40000, 16000);
  WriteFile(m_dir.File("out.wav"), "the earlier output");
  // A file-size limit of 16 KiB lets the small configuration file be written but not the 80 KB
  // output, so the write fails without a special file system.
  const ProcessResult r =
      testsupport::RunProcess("/bin/sh",
                              {"-c", "ulimit -f 16 && exec \"$0\" \"$@\"", m_exe, "/command",
                               "/convert_source:in.wav", "/convert_output:out.wav"},
                              m_dir.Path(), kNoDisplay);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("Information:Apply the equalizer filter parameter.\r\n"
                       "Error:Can't write the output file(out.wav): the file is too large.\r\n"
                       "Error:Write to output file(out.wav).\r\n"
                       "Terminated:ConvertFile:Result:0\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFile(m_dir.File("out.wav")), "the earlier output");
}
#endif

// An output path that names a folder, existing (empty or not) or ending in a separator, is refused
// and the folder stays as it was; a bare file name is a file in the current folder.
TEST_F(HostileInputTest, AnOutputThatNamesAFolderIsRefusedAndABareNameIsWrittenHere) {
  RampWave("in.wav", 80);
  fs::create_directory(m_dir.File("empty"));
  fs::create_directory(m_dir.File("somefolder"));
  WriteFile(m_dir.File("somefolder/keep.txt"), "x");
  for (const std::string output : {"empty", "somefolder", "somefolder/", "newfolder/"}) {
    const ProcessResult r =
        Run({"/command", "/convert_source:in.wav", "/convert_output:" + output});
    EXPECT_EQ(r.exitCode, 2) << output;
    EXPECT_EQ(r.out, "Error:The output path names a folder, not a file(" + output + ").\r\n" +
                         kTerminatedFailed);
  }
  EXPECT_TRUE(fs::is_directory(m_dir.File("empty")) && fs::is_empty(m_dir.File("empty")));
  EXPECT_EQ(ReadFile(m_dir.File("somefolder/keep.txt")), "x");
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.File("somefolder")), {}), 1);

  const ProcessResult r = Run({"/command", "/convert_source:in.wav", "/convert_output:plain.wav"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
#if TONVALE_HAVE_SNDFILE
  EXPECT_EQ(ReadSamples(m_dir.File("plain.wav")).size(), 80U);
#else
  EXPECT_TRUE(fs::exists(m_dir.File("plain.wav")));
#endif
}

// The limit is the system's: on Windows 259 characters, elsewhere 4095 bytes and 255 a name.
TEST_F(HostileInputTest, ATooLongPathIsRefusedOnceWithTheLimit) {
  RampWave("in.wav", 80);
#if defined(_WIN32)
  const std::string name = std::string(120, 'a') + "/" + std::string(120, 'b') + "/voice.wav";
  const std::string source = m_dir.File(name);
  ASSERT_GT(source.size(), 259U);
  RampWave(name, 80);
  const std::vector<std::string> paths = {source};
  const std::string limit = "a path may have at most 259 characters";
#else
  // A path deeper than 259 characters is no longer too long: it converts.
  const std::string name = std::string(200, 'a') + "/" + std::string(200, 'b') + "/voice.wav";
  RampWave(name, 80);
  const ProcessResult deep =
      Run({"/command", "/convert_source:" + name, "/convert_output:" + name + ".out.wav"});
  EXPECT_EQ(deep.exitCode, 0) << deep.out;
  std::string tooDeep;
  while (tooDeep.size() < 4096) tooDeep += std::string(200, 'd') + "/";
  const std::vector<std::string> paths = {m_dir.File(std::string(256, 'n') + ".wav"),
                                          tooDeep + "voice.wav"};
  const std::string limit = "a path may have at most 4095 bytes, and a name in it at most 255";
#endif
  // The same line whether the source or the output is too long.
  for (const std::string& path : paths) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/command", "/convert_source:" + path},
          std::vector<std::string>{"/command", "/convert_source:in.wav",
                                   "/convert_output:" + path}}) {
      const ProcessResult r = Run(args);
      EXPECT_EQ(r.exitCode, 1) << args.back();
      EXPECT_EQ(r.out, "Error:The path is too long(" + path + "): " + limit + ".\r\n");
    }
  }
}

// A conversion killed at any moment leaves nothing in its output folder, and the next completed
// conversion there leaves only its output.
TEST_F(HostileInputTest, KilledConversionsLeaveNothingBehind) {
  // Ten seconds of 48 kHz stereo through 30 sections: long enough to be killed mid-way.
  RampWave("in.wav", 960000, 48000, 2);
  WriteFile(m_dir.File("user.cfg"), OneBandSettings(3, 60, 0.7, 0, 4000, 4800));
  fs::create_directory(m_dir.File("out"));
  const std::vector<std::string> args = {"/command", "/access_setting:user.cfg",
                                         "/convert_source:in.wav", "/convert_output:out/in.wav"};
  // Killed at once, and as soon as the transcript names each step: the source opened, the
  // filter about to run, the output about to be written.
  for (const std::string step :
       {"", "Information:Open the file.", "Information:Apply the equalizer filter parameter.",
        "Information:Write to output file"}) {
    testsupport::ChildProcess child(m_exe, args, m_dir.Path(), kNoDisplay);
    if (!step.empty()) {
      EXPECT_TRUE(child.WaitForOutput(step, 60000)) << step;
    }
    child.Kill();
    (void)child.Wait();
#if !defined(_WIN32)  // where there are unnamed files, a killed run leaves nothing at all
    for (const auto& entry : fs::directory_iterator(m_dir.File("out"))) {
      EXPECT_EQ(entry.path().filename(), "in.wav") << "after a kill at \"" << step << "\"";
    }
#endif
  }
  const ProcessResult r = Run(args);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(m_dir.File("out"))) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"in.wav"});
}

}  // namespace
