// Runs the built program as a user or a controlling program would: copied into a fresh folder
// so that its configuration file is created beside it, with its output, exit status and
// configuration file checked.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/fs/NativePath.h"
#include "tests/app/AppFixture.h"
#include "tests/support/BandFixtures.h"
#include "tests/support/ProtectedFileBuilder.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using testsupport::ReadFile;

using AppEndToEndTest = apptest::AppFixture;
using apptest::Ramp;
#if TONVALE_HAVE_SNDFILE
using apptest::ReadSamples;
#endif
using testsupport::WriteFile;

// The shipped default file with the liveness flag rewritten to 0 at the end of a run.
std::string DefaultConfigAfterRun() {
  std::string text = ReadFile(DEFAULT_CONFIG_SOURCE);
  const std::string live = "Is_Live = 1";
  return text.replace(text.size() - live.size(), live.size(), "Is_Live=0");
}

// /h prints the listing and creates the configuration file; --help is /h by another name;
// /version and --version print the version and the commit the build was made from. All run in
// console mode and end with status 0.
TEST_F(AppEndToEndTest, HelpAndVersionPrintAndCreateTheConfigurationFile) {
  const ProcessResult h = Run({"/h"});
  EXPECT_EQ(h.exitCode, 0);
  const std::string exe = apptest::kExeName;
  EXPECT_EQ(h.out.rfind("@ Open help information \r\nEx. " + exe + " /h \r\n\r\n", 0), 0U);
  EXPECT_NE(h.out.find("Ex. " + exe +
                       " /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0\r\n"
                       "\r\n"),
            std::string::npos);
  EXPECT_EQ(h.err, "");
  EXPECT_EQ(Config(), DefaultConfigAfterRun());
  const ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out, h.out);
  EXPECT_EQ(help.err, "");
  for (const char* arg : {"--version", "/version"}) {
    const ProcessResult r = Run({arg});
    EXPECT_EQ(r.exitCode, 0) << arg;
    EXPECT_EQ(r.out.rfind("tonvale " TONVALE_VERSION "\r\ncommit ", 0), 0U) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\ncommit ([0-9a-f]{12}|unknown)\r\n$")))
        << r.out;
    EXPECT_EQ(r.err, "") << arg;
  }
  EXPECT_EQ(Config(), DefaultConfigAfterRun());
}

// /command alone prints nothing and clears the liveness flag; an existing configuration file is
// read and edited in place, not replaced by the shipped default.
TEST_F(AppEndToEndTest, CommandAloneEndsSilentlyAndKeepsAnExistingConfiguration) {
  WriteFile(m_dir.File("tonvale.ini"), "[EQ_UI]\nBandNum = 4\n");
  const ProcessResult r = Run({"/command"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Config(), "[EQ_UI]\nBandNum = 4\n\n[App_Status]\nIs_Live=0\n");
}

// A line rejected before /command switched the console on goes to standard error instead.
TEST_F(AppEndToEndTest, RejectedCommandLineExitsWithOneAndSaysWhy) {
  const std::string unknown =
      "Error:Can't support the param: /x. Please use /h to show how to use it.\r\n";
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"/command", "/x"}, unknown, ""},
      {{"/x", "/command"}, "", unknown},
      {{"-command", "-convert_source=nothing.wav"}, "Error:File not exist(nothing.wav).\r\n", ""},
  };
  for (const Case& c : cases) {
    const ProcessResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.args[0];
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_NE(Config().find("Is_Live=0"), std::string::npos);
}

// The output's folders are made while the command line is read, so they exist even when the
// conversion then fails.
TEST_F(AppEndToEndTest, HelpYieldsToAConversionAndAFailedOneExitsWithTwoItsOutputFoldersMade) {
  WriteFile(m_dir.File("voice.wav"), "not a wave file");
  const ProcessResult r =
      Run({"/h", "/convert_source:voice.wav", "/convert_output:out/deeper/v.wav"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out.find("@ Open help"), std::string::npos);
  EXPECT_EQ(r.out.rfind("Information:Open the file.(voice.wav).\r\n", 0), 0U);
  EXPECT_EQ(r.out.substr(r.out.size() - 33), "Terminated:ConvertFile:Result:0\r\n");
  EXPECT_TRUE(fs::is_directory(m_dir.File("out/deeper")));
}

// On Windows a part of the path beyond the buffers of its path functions (here an extension of
// more than 9 characters); elsewhere a name that "_filter" takes beyond the system's 255 bytes.
TEST_F(AppEndToEndTest, SourceWhoseOutputNameCannotBeFormedFailsClearly) {
#if defined(_WIN32)
  const std::string source = "voice.recording1";
#else
  const std::string source = std::string(245, 'v') + ".wav";
#endif
  WriteFile(m_dir.File(source), "x");
  const ProcessResult r = Run({"/command", "/convert_source:" + source});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Error:Can't form the output path from the source path(" + source +
                       "). Please use /convert_output to name the output file.\r\n"
                       "Terminated:ConvertFile:Result:0\r\n");
}

#if !defined(_WIN32)
// A program kept deeper than the Windows buffers of 780 bytes still finds its configuration
// file beside itself, instead of a name cut short somewhere above.
TEST_F(AppEndToEndTest, AProgramInADeepFolderKeepsItsConfigurationBesideItself) {
  std::string folder = m_dir.File("deep");
  for (int i = 0; i < 4; ++i) folder += "/" + std::string(250, static_cast<char>('a' + i));
  ASSERT_GT(folder.size(), 1000U);
  fs::create_directories(folder);
  const std::string exe = folder + "/" + apptest::kExeName;
  fs::copy_file(m_exe, exe);
  const ProcessResult r = testsupport::RunProcess(exe, {"/h"}, m_dir.Path(), kNoDisplay);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ReadFile(folder + "/tonvale.ini"), DefaultConfigAfterRun());
}
#endif

TEST_F(AppEndToEndTest, InteractiveModeWithoutAWindowSaysSoAndSavesNothing) {
  const ProcessResult r = Run({"/access_setting:user.cfg", "/eq_index:2"});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("tonvale: "), std::string::npos);
  EXPECT_FALSE(fs::exists(m_dir.File("user.cfg")));
  EXPECT_NE(Config().find("Is_Live=0"), std::string::npos);
#if defined(TONVALE_WINDOW_MODULE_FILE)
  // A program copied without its window module converts as ever and says what is missing.
  fs::remove(m_dir.File(fs::path(TONVALE_WINDOW_MODULE_FILE).filename().string()));
  const ProcessResult alone = Run({"/access_setting:user.cfg"});
  EXPECT_EQ(alone.exitCode, 3);
  EXPECT_NE(alone.err.find("tonvale: the window could not be loaded: "), std::string::npos)
      << alone.err;
  RampWave("v.wav", 80);
  EXPECT_EQ(Run({"/command", "/convert_source:v.wav"}).exitCode, 0);
#endif
}

#if TONVALE_GUI_BUILD && defined(__linux__)
// Tells when files in a folder are opened or renamed into it (inotify), so that a test can wait
// for what a program does to its configuration file instead of for a fixed time.
class FolderEvents {
 public:
  explicit FolderEvents(const std::string& folder) : m_fd(::inotify_init1(IN_CLOEXEC)) {
    ::inotify_add_watch(m_fd, folder.c_str(), IN_OPEN | IN_MOVED_TO);
  }
  ~FolderEvents() { ::close(m_fd); }

  // Waits up to `timeoutMs` for `count` events of `mask` on the file `name`; false on time-out.
  bool WaitFor(std::uint32_t mask, const std::string& name, int count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (count > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{m_fd, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
        return false;
      }
      alignas(inotify_event) char buffer[4096];
      const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if ((event->mask & mask) != 0 && event->len > 0 && name == event->name) {
          --count;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return true;
  }

 private:
  int m_fd;
};

class WindowEndToEndTest : public AppEndToEndTest {
 protected:
  // Opens the window on user.cfg with /checklive:1 and, once its watcher runs, closes it as a
  // controlling program does, by writing 0 into Is_Live; what the program left.
  ProcessResult RunWindowClosedByTheFlag() {
    FolderEvents events(m_dir.Path());
    testsupport::ChildProcess child(m_exe, {"/checklive:1", "/access_setting:user.cfg"},
                                    m_dir.Path(), {"QT_QPA_PLATFORM=offscreen"});
    // Start-up writes the flag 1 (a rename into the folder); then the window reads it once to
    // start its watcher, and the watcher reads it once a second: after two reads it is running.
    EXPECT_TRUE(events.WaitFor(IN_MOVED_TO, "tonvale.ini", 1, 30000));
    EXPECT_TRUE(events.WaitFor(IN_OPEN, "tonvale.ini", 2, 30000));
    EXPECT_NE(Config().find("Is_Live=1"), std::string::npos);
    WriteFile(m_dir.File("tonvale.ini"),
              std::regex_replace(Config(), std::regex("Is_Live=1"), "Is_Live=0"));
    return child.Wait(20000);
  }
};

// The window ends as Cancel does, so nothing is saved.
TEST_F(WindowEndToEndTest, WindowClosesWhenAnotherProgramClearsTheLiveFlag) {
  const ProcessResult r = RunWindowClosedByTheFlag();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::exists(m_dir.File("user.cfg")));
  EXPECT_NE(Config().find("Is_Live=0"), std::string::npos);
}

// A stored setup of more bands than the window takes is not cut down unsaid: the window warns as
// it opens that OK would save only what it shows, and closing it any other way leaves the file.
TEST_F(WindowEndToEndTest, WindowWarnsThatASetupOfTooManyBandsCannotBeSavedBackWhole) {
  const std::string settings = testsupport::ManyBellsSettings(101);
  WriteFile(m_dir.File("user.cfg"), settings);
  const ProcessResult r = RunWindowClosedByTheFlag();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Information:EQ index 0 of the settings file(user.cfg) cannot be edited as "
                       "it is stored: its setup holds 101 bands, more than the limit of 100. The "
                       "window shows the bands it could take; OK would save those in place of "
                       "the stored setup, Cancel leaves the file as it is.\r\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(testsupport::ReadFile(m_dir.File("user.cfg")), settings);
}
#endif

// Names outside ASCII pass through the command line, the transcript and every file operation
// as UTF-8 (on Windows as UTF-16 at each system call).
TEST_F(AppEndToEndTest, FileNamesOutsideAsciiConvert) {
  // "fächer/Stimme ü€日"
  const std::string stem =
      "f\xC3\xA4"
      "cher/Stimme \xC3\xBC\xE2\x82\xAC\xE6\x97\xA5";
  RampWave(stem + ".wav", 800);
  const ProcessResult r = Run({"/command", "/convert_source:" + stem + ".wav"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out.rfind("Information:Open the file.(" + stem + ".wav).\r\n", 0), 0U) << r.out;
  EXPECT_TRUE(fs::exists(platform::NativePath(m_dir.File(stem + "_filter.wav"))));
}

#if TONVALE_HAVE_SNDFILE
TEST_F(AppEndToEndTest, ConversionWithStoredBandsPrintsFiveLinesAndWritesBesideTheSource) {
  RampWave("a/voice.wav", 40000, 16000);
  fs::copy_file(EXAMPLE_SETTINGS, m_dir.File("speech.cfg"));
  const ProcessResult r =
      Run({"/command", "/access_setting:speech.cfg", "/eq_index:0", "/convert_source:a/voice.wav"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Converted("a/voice.wav", "a/voice_filter.wav", "2500 ms,SampleRate:16000 Hz") +
                       "Terminated:ConvertFile:Result:1\r\n");
  const auto filtered = ReadSamples(m_dir.File("a/voice_filter.wav"));
  ASSERT_EQ(filtered.size(), 40000U);
  const auto input = Ramp(40000);
  EXPECT_NE(std::vector<std::int16_t>(filtered.begin(), filtered.end()), input);
}
#endif

TEST_F(AppEndToEndTest, ExitStatusTellsFailedConversionsFromGoodOnes) {
  using testsupport::RiffBuilder;
  WriteFile(m_dir.File("twelve.wav"),
            RiffBuilder()
                .Chunk("fmt ", testsupport::FmtBody(1, 1, 8000, 12, 2, 16000))
                .Chunk("data", {0, 1, 0, 2})
                .Build());
  WriteFile(m_dir.File("float.wav"), RiffBuilder()
                                         .Chunk("fmt ", testsupport::FmtBody(3, 1, 8000, 16))
                                         .Chunk("data", {0, 0, 0, 0})
                                         .Build());
  // 65535 channels: written back, the block align would overflow its field.
  WriteFile(m_dir.File("wide.wav"), RiffBuilder()
                                        .Chunk("fmt ", testsupport::FmtBody(1, 65535, 8000, 16))
                                        .Chunk("data", std::vector<std::uint8_t>(65535U * 2U * 3U))
                                        .Build());
  const auto plain = testsupport::PcmWave(1, 8000, 8, {1, 2, 3, 250});
  WriteFile(m_dir.File("eight.wav"), plain);
  WriteFile(m_dir.File("secret.wio"), testsupport::BuildProtectedFile(plain, {}, "secret.wav"));
  fs::copy_file(std::string(TEST_DATA_DIR) + "/ms-mono-sox.wav", m_dir.File("adpcm.wav"));

  const ProcessResult twelve = Run({"/command", "/convert_source:twelve.wav"});
  EXPECT_EQ(twelve.exitCode, 2);
  EXPECT_NE(twelve.out.find(
                "Information:Time:0 ms,SampleRate:8000 Hz,BitPerSample:12,Channel:1.\r\n"
                "Error:Unsupported 12-bit data.\r\nError:Apply the equalizer filter parameter.\r\n"
                "Terminated:ConvertFile:Result:0\r\n"),
            std::string::npos)
      << twelve.out;
  EXPECT_FALSE(fs::exists(m_dir.File("twelve_filter.wav")));

  for (const std::string name : {"float.wav", "wide.wav"}) {
    const ProcessResult r = Run({"/command", "/convert_source:" + name});
    EXPECT_EQ(r.exitCode, 2) << name;
    EXPECT_EQ(r.out, "Information:Open the file.(" + name +
                         ").\r\nError:Unsupported wave format!(" + name +
                         ")\r\nError:Can't open the file.(" + name +
                         ").\r\nTerminated:ConvertFile:Result:0\r\n");
    EXPECT_FALSE(fs::exists(m_dir.File(name.substr(0, name.find('.')) + "_filter.wav")));
  }

  for (const char* name : {"eight.wav", "secret.wio", "adpcm.wav"}) {
    EXPECT_EQ(Run({"/command", std::string("/convert_source:") + name}).exitCode, 0) << name;
  }
#if TONVALE_HAVE_SNDFILE
  EXPECT_EQ(ReadSamples(m_dir.File("eight_filter.wav")).size(), 4U);
  EXPECT_EQ(ReadSamples(m_dir.File("secret_filter.wio")).size(), 4U);  // a plain wave file now
  EXPECT_EQ(ReadSamples(m_dir.File("adpcm_filter.wav")).size(), 2500U);
#endif
}

}  // namespace
