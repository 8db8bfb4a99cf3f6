// Runs the built program as a user or a controlling program would: copied into a fresh folder
// so that its configuration file is created beside it, with its output, exit status and
// configuration file checked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using testsupport::ReadFile;

class AppEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_exe = m_dir.File("tonvale");
    fs::copy_file(TONVALE_EXE, m_exe);
  }

  ProcessResult Run(const std::vector<std::string>& args) {
    return testsupport::RunProcess(m_exe, args, m_dir.Path());
  }
  std::string Config() const { return ReadFile(m_dir.File("tonvale.ini")); }

  testsupport::TempDir m_dir;
  std::string m_exe;
};

// The shipped default file with the liveness flag rewritten to 0 at the end of a run.
std::string DefaultConfigAfterRun() {
  std::string text = ReadFile(DEFAULT_CONFIG_SOURCE);
  const std::string live = "Is_Live = 1";
  return text.replace(text.size() - live.size(), live.size(), "Is_Live=0");
}

TEST_F(AppEndToEndTest, HelpPrintsTheListingAndCreatesTheConfigurationFile) {
  const ProcessResult r = Run({"/h"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("@ Open help information \r\nEx. tonvale /h \r\n\r\n", 0), 0U);
  EXPECT_NE(r.out.find("Ex. tonvale /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0\r\n"
                       "\r\n"),
            std::string::npos);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Config(), DefaultConfigAfterRun());
}

TEST_F(AppEndToEndTest, CommandAloneEndsSilentlyWithTheFlagCleared) {
  const ProcessResult r = Run({"/command"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_NE(Config().find("Is_Live=0"), std::string::npos);
}

TEST_F(AppEndToEndTest, RejectedCommandLineExitsWithOneAndSaysWhy) {
  const ProcessResult printed = Run({"/command", "/x"});
  EXPECT_EQ(printed.exitCode, 1);
  EXPECT_EQ(printed.out,
            "Error:Can't support the param: /x. Please use /h to show how to use it.\r\n");
  EXPECT_EQ(printed.err, "");

  const ProcessResult silent = Run({"/x", "/command"});
  EXPECT_EQ(silent.exitCode, 1);
  EXPECT_EQ(silent.out, "");
  EXPECT_EQ(silent.err,
            "Error:Can't support the param: /x. Please use /h to show how to use it.\r\n");

  const ProcessResult missing = Run({"-command", "-convert_source=nothing.wav"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "Error:File not exist(nothing.wav).\r\n");
  EXPECT_NE(Config().find("Is_Live=0"), std::string::npos);
}

TEST_F(AppEndToEndTest, HelpYieldsToAConversionAndAFailedConversionExitsWithTwo) {
  testsupport::WriteFile(m_dir.File("voice.wav"), "not a wave file");
  const ProcessResult r = Run({"/h", "/convert_source:voice.wav"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out.find("@ Open help"), std::string::npos);
  EXPECT_EQ(r.out.rfind("Information:Open the file.(voice.wav).\r\n", 0), 0U);
  EXPECT_EQ(r.out.substr(r.out.size() - 33), "Terminated:ConvertFile:Result:0\r\n");
}

TEST_F(AppEndToEndTest, SourceWhoseOutputNameCannotBeFormedFailsClearly) {
  testsupport::WriteFile(m_dir.File("voice.recording1"), "x");
  const ProcessResult r = Run({"/command", "/convert_source:voice.recording1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out,
            "Error:Can't form the output path from the source path(voice.recording1). Please "
            "use /convert_output to name the output file.\r\nTerminated:ConvertFile:Result:0\r\n");
}

TEST_F(AppEndToEndTest, ConvertOutputFoldersAreCreatedAtParseTime) {
  testsupport::WriteFile(m_dir.File("voice.wav"), "x");
  const ProcessResult r =
      Run({"/command", "/convert_source:voice.wav", "/convert_output:out/deeper/v.wav"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(fs::is_directory(m_dir.File("out/deeper")));
}

TEST_F(AppEndToEndTest, InteractiveModeWithoutAWindowSaysSoAndSavesNothing) {
  const ProcessResult r = Run({"/access_setting:user.cfg", "/eq_index:2"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no window"), std::string::npos);
  EXPECT_FALSE(fs::exists(m_dir.File("user.cfg")));
  EXPECT_NE(Config().find("Is_Live=0"), std::string::npos);
}

TEST_F(AppEndToEndTest, ExistingConfigurationIsReadNotReplaced) {
  testsupport::WriteFile(m_dir.File("tonvale.ini"), "[EQ_UI]\nBandNum = 4\n");
  EXPECT_EQ(Run({"/command"}).exitCode, 0);
  EXPECT_EQ(Config(), "[EQ_UI]\nBandNum = 4\n\n[App_Status]\nIs_Live=0\n");
}

}  // namespace
