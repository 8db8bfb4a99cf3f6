#include "settings/AppConfig.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(AppConfigTest, MissingFileIsCreatedFromTheBuiltInDefaultAndRead) {
  TempDir dir;
  const std::string path = dir.File("tonvale.ini");
  AppConfig config;
  EXPECT_EQ(LoadAppConfig(path, config), 1);

  const std::string written = ReadFile(path);
  EXPECT_EQ(written.size(), 398U);
  EXPECT_EQ(written, ReadFile(DEFAULT_CONFIG_SOURCE));
  EXPECT_EQ(written.substr(0, 20), "[EQ_Configuration]\r\n");
  EXPECT_EQ(written.substr(written.size() - 13), "\r\nIs_Live = 1");

  EXPECT_EQ(config.bandNum, 10);
  EXPECT_EQ(config.defaultSampleRate, 16000);
  EXPECT_EQ(config.defaultQual, 0.7070000171661377);
  EXPECT_EQ(config.defaultGain, 10.0);
  EXPECT_EQ(config.minDbValue, -30.0);
  EXPECT_EQ(config.maxDbValue, 30.0);
  EXPECT_EQ(config.minFreqValue, 10.0);
  EXPECT_EQ(config.minQualValue, 0.01);
  EXPECT_EQ(config.maxQualValue, 30.0);
  EXPECT_EQ(config.eqPainterHeight, 320U);
  EXPECT_EQ(config.bandEditMaxLen, 6U);
  EXPECT_EQ(config.controlFreqStep, 10.0);
  EXPECT_EQ(config.controlDBStep, 0.2);
  EXPECT_EQ(config.controlQualStep, 0.1);
  EXPECT_EQ(config.sampleRateList,
            (std::vector<std::uint32_t>{8000, 16000, 32000, 44100, 48000, 96000}));
}

// A file that cannot be created, or a folder, FIFO or device at the configuration path (never
// opened for reading: a FIFO would block, a device never end): the built-in values apply.
TEST(AppConfigTest, AnUnwritableOrIrregularPathGivesTheBuiltInConfiguration) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("folder.ini"));
  std::vector<std::string> paths = {dir.File("missing/tonvale.ini"), dir.File("folder.ini")};
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo(dir.File("fifo.ini").c_str(), 0600), 0);
  paths.push_back(dir.File("fifo.ini"));
  paths.push_back("/dev/zero");
#endif
  for (const std::string& path : paths) {
    AppConfig config;
    EXPECT_EQ(LoadAppConfig(path, config), 0) << path;
    EXPECT_EQ(config.bandNum, 12);
    EXPECT_EQ(config.defaultSampleRate, 8000);
    EXPECT_EQ(config.sampleRateList.size(), 6U);
  }
}

TEST(AppConfigTest, IncompleteFileIsNeverReplacedAndMissingKeysKeepBuiltIns) {
  TempDir dir;
  const std::string path = dir.File("tonvale.ini");
  WriteFile(path, "[EQ_UI]\nBandNum = 4\n");
  AppConfig config;
  EXPECT_EQ(LoadAppConfig(path, config), 1);
  EXPECT_EQ(ReadFile(path), "[EQ_UI]\nBandNum = 4\n");
  EXPECT_EQ(config.bandNum, 4);
  EXPECT_EQ(config.defaultSampleRate, 8000);
  EXPECT_TRUE(config.sampleRateList.empty());
  EXPECT_EQ(config.defaultQual, 0.5);
  EXPECT_EQ(config.maxDbValue, 20.0);
  EXPECT_EQ(config.controlFreqStep, 100.0);
}

TEST(AppConfigTest, ConversionRulesOnGoodAndBadText) {
  TempDir dir;
  const std::string path = dir.File("tonvale.ini");
  WriteFile(path,
            "[EQ_Configuration]\r\n"
            "DefaultSampleRate = 44100 Hz\r\n"
            "DefaultQual = abc\r\n"
            "DefaultGain = 1e40\r\n"
            "[EQ_UI]\r\n"
            "SampleRateList = 8000, ,16000,,48000, 8000 ,abc,99999999999\r\n"
            "BandNum = many\r\n"
            "MinDbValue = -12.5\r\n"
            "EQPainterHeight = 300abc\r\n"
            "BandEditMaxLen = none\r\n"
            "ControlDBStep = letters\r\n"
            "ControlFreqStep = 25\r\n");
  AppConfig config;
  ASSERT_EQ(LoadAppConfig(path, config), 1);
  EXPECT_EQ(config.defaultSampleRate, 44100);
  EXPECT_EQ(config.bandNum, 0);
  EXPECT_EQ(config.sampleRateList, (std::vector<std::uint32_t>{8000, 16000, 48000, 8000}));
  EXPECT_EQ(config.defaultQual, 0.5);  // no number: the field keeps its value
  EXPECT_EQ(config.defaultGain, 0.0);  // beyond single precision: the same
  EXPECT_EQ(config.minDbValue, -12.5);
  EXPECT_EQ(config.eqPainterHeight, 300U);
  EXPECT_EQ(config.bandEditMaxLen, 6U);
  EXPECT_EQ(config.controlDBStep, 0.0);  // the double rule reads text as 0.0
  EXPECT_EQ(config.controlFreqStep, 25.0);
}

}  // namespace
