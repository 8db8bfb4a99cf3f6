#include "settings/UserSettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "platform/profile/Profile.h"
#include "tests/support/BandFixtures.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// The shipped configuration with its default bands, and a settings file path in a fresh folder.
class UserSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ApplyDefaultSettings(m_config, m_table), 1); }

  TempDir m_dir;
  const std::string m_path = m_dir.File("user.cfg");
  AppConfig m_config = ShippedAppConfig();
  EqBandTable m_table;
};

TEST_F(UserSettingsTest, DefaultSetSpacesBandsLogarithmicallyUpToNyquist) {
  ASSERT_EQ(m_table.size(), 10U);
  // Worked by hand: ratio = 800^(1/9) = 2.10168..., frequencies 10 * ratio^i.
  const double expected[10] = {10,      21.017,  44.170,   92.832,   195.102,
                               410.041, 861.774, 1811.169, 3806.488, 8000};
  EXPECT_EQ(m_table[0].type, 2U);
  EXPECT_NEAR(m_table[0].cutoffFreq, 11.204082, 5e-7);
  EXPECT_EQ(m_table[0].stopFreq, 10.0);
  for (int i = 1; i < 9; ++i) {
    EXPECT_EQ(m_table[i].type, 1U);
    EXPECT_NEAR(m_table[i].centFreq, expected[i], 1e-3) << i;
    EXPECT_EQ(m_table[i].cutoffFreq, 0.0);
  }
  EXPECT_EQ(m_table[9].type, 3U);
  EXPECT_NEAR(m_table[9].cutoffFreq, 7840.0, 1e-9);
  EXPECT_NEAR(m_table[9].stopFreq, 8000.0, 1e-9);
  for (std::size_t i = 0; i < m_table.size(); ++i) {
    EXPECT_EQ(m_table[i].index, i);
    EXPECT_EQ(m_table[i].enable, 0U);
    EXPECT_EQ(m_table[i].gain, 10.0);
    EXPECT_EQ(m_table[i].qual, 0.7070000171661377);
  }
}

TEST_F(UserSettingsTest, DefaultSetForFewOrTooManyBandsIsDefined) {
  m_config.bandNum = 1;
  ApplyDefaultSettings(m_config, m_table);
  ASSERT_EQ(m_table.size(), 1U);
  EXPECT_EQ(m_table[0].type, 2U);
  EXPECT_EQ(m_table[0].stopFreq, 10.0);
  EXPECT_TRUE(std::isfinite(m_table[0].cutoffFreq));

  m_config.bandNum = 2;
  ApplyDefaultSettings(m_config, m_table);
  ASSERT_EQ(m_table.size(), 2U);
  EXPECT_EQ(m_table[0].type, 2U);
  EXPECT_EQ(m_table[1].type, 3U);

  for (int count : {0, -5}) {
    m_config.bandNum = count;
    ApplyDefaultSettings(m_config, m_table);
    EXPECT_TRUE(m_table.empty());
    EXPECT_EQ(m_config.bandNum, 0);
  }
  m_config.bandNum = 2000000000;
  ApplyDefaultSettings(m_config, m_table);
  EXPECT_EQ(m_table.size(), static_cast<std::size_t>(kMaxBandCount));
  EXPECT_EQ(m_config.bandNum, kMaxBandCount);
}

TEST_F(UserSettingsTest, SaveWritesTheIndexMapAndEveryBandKey) {
  ASSERT_EQ(SaveUserSettings(m_path, 0, m_config, m_table), 1);

  // The index map, BandNum, SampleRate and band 00 are checked byte for byte below.
  const platform::ProfileSnapshot file(m_path);
  const char* section = "MusicEQBand00";
  EXPECT_EQ(file.GetString(section, "Band05_Type"), "1");
  EXPECT_EQ(file.GetString(section, "Band05_CentFreq"), "410.041459");
  EXPECT_EQ(file.GetString(section, "Band09_Type"), "3");
  EXPECT_EQ(file.GetString(section, "Band09_CutoffFreq"), "7840.000000");

  // The keys are written in the documented order, without blanks around "=".
  const std::string text = ReadFile(m_path);
  EXPECT_EQ(text.substr(0, text.find("Band01_Type")),
            "[MusicEQ]\r\nMusicEQ_Index00=MusicEQBand00\r\n\r\n[MusicEQBand00]\r\nBandNum=10\r\n"
            "SampleRate=16000\r\nBand00_Type=2\r\nBand00_Enable=0\r\nBand00_Gain=10.000000\r\n"
            "Band00_Qual=0.707000\r\nBand00_CentFreq=0.000000\r\n"
            "Band00_CutoffFreq=11.204082\r\nBand00_StopFreq=10.000000\r\n");
}

TEST_F(UserSettingsTest, SaveThenLoadGivesTheTableBack) {
  m_table[3].enable = 1;
  m_table[3].gain = -6.5;
  m_table[3].qual = 2.25;
  ASSERT_EQ(SaveUserSettings(m_path, 7, m_config, m_table), 1);

  AppConfig loaded;
  EqBandTable back;
  EXPECT_EQ(LoadUserSettings(m_path, 7, loaded, back), 1);
  ASSERT_EQ(back.size(), 10U);
  EXPECT_EQ(loaded.bandNum, 10);
  EXPECT_EQ(loaded.defaultSampleRate, 16000);
  EXPECT_EQ(back[3].enable, 1U);
  EXPECT_EQ(back[3].gain, -6.5);
  EXPECT_EQ(back[3].qual, 2.25);
  EXPECT_EQ(back[9].cutoffFreq, 7840.0);
}

// The preamp is stored only when it is not 0 dB: a file without the key loads 0, and a save
// at 0 dB takes away a key an earlier save wrote, leaving the bytes of a file without one.
TEST_F(UserSettingsTest, PreampIsStoredOnlyWhenItDoesSomething) {
  ASSERT_EQ(SaveUserSettings(m_path, 0, m_config, m_table), 1);
  const std::string without = ReadFile(m_path);
  EXPECT_EQ(without.find("Preamp"), std::string::npos);

  m_table.preampDb = -3.25;
  ASSERT_EQ(SaveUserSettings(m_path, 0, m_config, m_table), 1);
  EXPECT_EQ(platform::ProfileSnapshot(m_path).GetString("MusicEQBand00", "Preamp"), "-3.250000");
  AppConfig loaded;
  EqBandTable back;
  back.preampDb = 7;
  ASSERT_EQ(LoadUserSettings(m_path, 0, loaded, back), 1);
  EXPECT_EQ(back.preampDb, -3.25);

  m_table.preampDb = 0.0;
  ASSERT_EQ(SaveUserSettings(m_path, 0, m_config, m_table), 1);
  EXPECT_EQ(ReadFile(m_path), without);
  ASSERT_EQ(LoadUserSettings(m_path, 0, loaded, back), 1);
  EXPECT_EQ(back.preampDb, 0.0);
}

// A stored preamp is read as it stands, so that the design can name one that is not usable;
// text that holds no number reads as not-a-number rather than as 0 dB.
TEST_F(UserSettingsTest, APreampThatIsNotAUsableNumberIsKeptForTheDesignToName) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* text;
    double value;
  } cases[] = {{"1e308", 1e308}, {"inf", HUGE_VAL}, {"-inf", -HUGE_VAL}, {"-7.5dB", -7.5},
               {"nan", nan},     {"abc", nan},      {"dB", nan}};
  for (const auto& c : cases) {
    WriteFile(m_path, std::string("[MusicEQ]\nMusicEQ_Index00=B\n[B]\nBandNum=1\nPreamp=") +
                          c.text +
                          "\nBand00_Type=1\nBand00_Enable=1\nBand00_Gain=3\n"
                          "Band00_Qual=1\nBand00_CentFreq=900\nBand00_CutoffFreq=0\n"
                          "Band00_StopFreq=0\n");
    ASSERT_EQ(LoadUserSettings(m_path, 0, m_config, m_table), 1);
    EXPECT_TRUE(m_table.preampDb == c.value ||
                (std::isnan(c.value) && std::isnan(m_table.preampDb)))
        << c.text;
  }
}

TEST_F(UserSettingsTest, IndexMapMayNameAnySectionAndASaveRepointsIt) {
  WriteFile(m_path,
            "[MusicEQ]\nMusicEQ_Index03=MySetup\n"
            "[MySetup]\nBandNum=2\nSampleRate=48000\n"
            "Band00_Type=2\nBand00_Enable=1\nBand00_Gain=24\nBand00_Qual=0.7\n"
            "Band00_CentFreq=0\nBand00_CutoffFreq=100\nBand00_StopFreq=50\n"
            "Band01_Type=3\nBand01_Enable=0\nBand01_Gain=12\nBand01_Qual=0.7\n"
            "Band01_CentFreq=0\nBand01_CutoffFreq=9000\nBand01_StopFreq=12000\n");
  LoadUserSettings(m_path, 3, m_config, m_table);
  ASSERT_EQ(m_table.size(), 2U);
  EXPECT_EQ(m_config.defaultSampleRate, 48000);
  EXPECT_EQ(m_table[0].enable, 1U);
  EXPECT_EQ(m_table[0].gain, 24.0);
  EXPECT_EQ(m_table[1].stopFreq, 12000.0);

  ASSERT_EQ(SaveUserSettings(m_path, 3, m_config, m_table), 1);
  const platform::ProfileSnapshot file(m_path);
  EXPECT_EQ(file.GetString("MusicEQ", "MusicEQ_Index03"), "MusicEQBand03");
  EXPECT_EQ(file.GetString("MusicEQBand03", "Band01_StopFreq"), "12000.000000");
  EXPECT_EQ(file.GetString("MySetup", "BandNum"), "2");  // the old section stays
}

TEST_F(UserSettingsTest, IncompleteBandIsDroppedAndTheLaterOnesMoveUp) {
  std::string text = "[MusicEQ]\nMusicEQ_Index00=B\n[B]\nBandNum=4\n";
  for (int n = 0; n < 4; ++n) {
    const std::string p = "Band0" + std::to_string(n) + "_";
    text += p + "Type=1\n" + p + "Enable=1\n" + p + "Gain=" + std::to_string(n) + "\n";
    text += (n == 2 ? p + "Qual=\n" : p + "Qual=1\n");
    text += p + "CentFreq=1000\n" + p + "CutoffFreq=0\n" + p + "StopFreq=0\n";
  }
  WriteFile(m_path, text);
  LoadUserSettings(m_path, 0, m_config, m_table);
  ASSERT_EQ(m_table.size(), 3U);
  EXPECT_EQ(m_table[2].gain, 3.0);  // stored band 03
  EXPECT_EQ(m_table[2].index, 2U);
  EXPECT_EQ(m_config.bandNum, 3);  // the band count follows the m_table
}

TEST_F(UserSettingsTest, MissingFileIndexOrBandCountFallsBackToDefaults) {
  m_table.clear();
  LoadUserSettings(m_dir.File("none.cfg"), 0, m_config, m_table);
  EXPECT_EQ(m_table.size(), 10U);

  WriteFile(m_path, "[MusicEQ]\nMusicEQ_Index01=B\n[B]\nSampleRate=8000\n");
  LoadUserSettings(m_path, 0, m_config, m_table);  // no entry for index 0
  EXPECT_EQ(m_table.size(), 10U);
  LoadUserSettings(m_path, 1, m_config, m_table);  // no BandNum
  EXPECT_EQ(m_table.size(), 10U);
  EXPECT_EQ(m_config.defaultSampleRate, 16000);

  // A complete-looking index whose bands are all missing: defaults with the stored count and rate.
  WriteFile(m_path, "[MusicEQ]\nMusicEQ_Index00=B\n[B]\nBandNum=6\nSampleRate=48000\n");
  LoadUserSettings(m_path, 0, m_config, m_table);
  ASSERT_EQ(m_table.size(), 6U);
  EXPECT_EQ(m_config.defaultSampleRate, 48000);
  EXPECT_NEAR(m_table[5].stopFreq, 24000.0, 1e-9);

  // A hostile band count neither hangs nor allocates beyond the cap, and is not taken as a setup.
  WriteFile(m_path, "[MusicEQ]\nMusicEQ_Index00=B\n[B]\nBandNum=2147483647\n");
  SettingsLoadReport report;
  LoadUserSettings(m_path, 0, m_config, m_table, &report);
  EXPECT_EQ(m_table.size(), static_cast<std::size_t>(kMaxBandCount));
  EXPECT_EQ(report.status, SettingsLoadStatus::TooManyBands);
  EXPECT_EQ(report.reason, "its setup holds 2147483647 bands, more than the limit of 100");
}

// A setup of more bands than the limit (as an import wrote them before it refused such
// presets) is never taken for itself: the load says so, and no save writes one.
TEST_F(UserSettingsTest, ASetupOfMoreBandsThanTheLimitIsReportedAndNeverSaved) {
  EqBandTable big;
  for (std::uint32_t n = 0; n <= 100; ++n) {
    big.push_back(
        {.type = 1, .index = n, .enable = 1, .gain = 1, .qual = 1, .centFreq = 100.0 + n});
  }
  const std::string text = testsupport::ManyBellsSettings(101);
  WriteFile(m_path, text);
  SettingsLoadReport report;
  LoadUserSettings(m_path, 0, m_config, m_table, &report);
  EXPECT_EQ(report.status, SettingsLoadStatus::TooManyBands);
  EXPECT_EQ(report.reason, "its setup holds 101 bands, more than the limit of 100");
  // The window shows what can be shown: the first 100, not the default bands.
  ASSERT_EQ(m_table.size(), 100U);
  EXPECT_EQ(m_table[99].centFreq, 199.0);
  EXPECT_EQ(m_config.bandNum, 100);

  EXPECT_EQ(SaveUserSettings(m_path, 1, m_config, big), 0);
  EXPECT_EQ(ReadFile(m_path), text);
  big.pop_back();
  EXPECT_EQ(SaveUserSettings(m_path, 1, m_config, big), 1);
  AppConfig config = ShippedAppConfig();
  EqBandTable back;
  LoadUserSettings(m_path, 1, config, back, &report);
  EXPECT_EQ(report.status, SettingsLoadStatus::Loaded);
  EXPECT_EQ(back, big);
}

// The command mode refuses to convert with default bands the user did not ask for; it needs to
// know why nothing was loaded.
TEST_F(UserSettingsTest, ALoadThatFindsNoSetupSaysWhy) {
  struct Case {
    std::string path;
    SettingsLoadStatus status;
    std::string reason;
  };
  std::filesystem::create_directory(m_dir.File("folder.cfg"));
  // "[MusicEQ]" and its key saved as UTF-16 with a byte-order mark, as some editors do.
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[MusicEQ]\r\nMusicEQ_Index00=B\r\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  WriteFile(m_dir.File("utf16.cfg"), utf16);
  WriteFile(m_dir.File("other.cfg"), "[MusicEQ]\nMusicEQ_Index01=B\n[B]\nBandNum=1\n");
  const std::string noSetup = "the file holds no setup for this EQ index";
  std::vector<Case> cases = {
      {m_dir.File("none.cfg"), SettingsLoadStatus::Missing, "the file does not exist"},
      {m_dir.File("folder.cfg"), SettingsLoadStatus::Unreadable,
       "the file cannot be read: it is a folder"},
      {m_dir.File("utf16.cfg"), SettingsLoadStatus::NoSetup,
       noSetup + " (it is saved as UTF-16 text; save it as UTF-8 or ANSI text)"},
      {m_dir.File("other.cfg"), SettingsLoadStatus::NoSetup, noSetup},
  };
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo(m_dir.File("fifo.cfg").c_str(), 0600), 0);
  cases.push_back({m_dir.File("fifo.cfg"), SettingsLoadStatus::Unreadable,
                   "the file cannot be read: it is not a regular file"});
  cases.push_back({"/dev/zero", SettingsLoadStatus::Unreadable,
                   "the file cannot be read: it is not a regular file"});
#endif
  for (const Case& c : cases) {
    m_config = ShippedAppConfig();
    m_table.clear();
    SettingsLoadReport report;
    EXPECT_EQ(LoadUserSettings(c.path, 0, m_config, m_table, &report), 1);
    EXPECT_EQ(report.status, c.status) << c.path;
    EXPECT_EQ(report.reason, c.reason) << c.path;
    EXPECT_EQ(m_table.size(), 10U) << "the default bands, for the window";
  }
  WriteFile(m_dir.File("good.cfg"),
            "[MusicEQ]\nMusicEQ_Index00=B\n[B]\nBandNum=1\nBand00_Type=1\n"
            "Band00_Enable=1\nBand00_Gain=3\nBand00_Qual=1\nBand00_CentFreq=900\n"
            "Band00_CutoffFreq=0\nBand00_StopFreq=0\n");
  SettingsLoadReport report{SettingsLoadStatus::NoSetup, "stale"};
  LoadUserSettings(m_dir.File("good.cfg"), 0, m_config, m_table, &report);
  EXPECT_EQ(report.status, SettingsLoadStatus::Loaded);
  EXPECT_EQ(report.reason, "");
  EXPECT_EQ(m_table.size(), 1U);
}

TEST_F(UserSettingsTest, IndexKeysUseAtLeastTwoDigits) {
  EXPECT_EQ(IndexMapKey(0), "MusicEQ_Index00");
  EXPECT_EQ(IndexMapKey(12), "MusicEQ_Index12");
  EXPECT_EQ(IndexMapKey(100), "MusicEQ_Index100");
  EXPECT_EQ(IndexMapKey(-1), "MusicEQ_Index-01");
  EXPECT_EQ(BandSectionName(100), "MusicEQBand100");
  EXPECT_EQ(BandSectionName(-1), "MusicEQBand-01");
}

TEST_F(UserSettingsTest, SaveIntoAMissingFolderWritesNothing) {
  EXPECT_EQ(SaveUserSettings(m_dir.File("missing/user.cfg"), 0, m_config, m_table), 0);
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("missing")));
}

}  // namespace
