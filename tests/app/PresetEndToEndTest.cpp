// Presets in and out through the command line: an AutoEQ-style file imported into a new
// settings file and converted with in the same command, exported back, and the failures a user
// meets, with their lines and exit statuses.
#include <string>

#include "platform/profile/Profile.h"
#include "tests/app/AppFixture.h"
#include "tests/support/BandFixtures.h"

namespace {

using apptest::AppFixture;

class PresetEndToEndTest : public AppFixture {};

TEST_F(PresetEndToEndTest, AnImportedPresetIsStoredConvertedWithAndExportedBack) {
  testsupport::WriteFile(m_dir.File("autoeq.txt"),
                         "Preamp: -6.4 dB\n"
                         "Filter 1: ON LSC Fc 105 Hz Gain 6.2 dB Q 0.70\n"
                         "Filter 2: ON PK Fc 2000 Hz Gain -1.5 dB Q 1.2\n"
                         "Filter 3: OFF NO Fc 50 Hz\n"
                         "GraphicEQ: 20 0; 40 1\n");
  RampWave("in.wav", 8000, 16000);
  const auto run = Run({"/command", "/import_preset:autoeq.txt", "/access_setting:user.ini",
                        "/eq_index:2", "/convert_source:in.wav", "/convert_output:out.wav"});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(run.out.substr(0, run.out.find("Information:Open the file")),
            "Information:Import the preset(autoeq.txt).\r\n"
            "Information:Line 5 is skipped: a graphic equalizer's curve is not read.\r\n"
            "Information:Imported 3 filters into EQ index 2 of the settings file(user.ini).\r\n"
            "Terminated:ImportPreset:Result:1\r\n");
  EXPECT_NE(run.out.find("Terminated:ConvertFile:Result:1"), std::string::npos);
  const platform::ProfileSnapshot settings(m_dir.File("user.ini"));
  EXPECT_EQ(settings.GetString("MusicEQBand02", "BandNum"), "3");
  EXPECT_EQ(settings.GetString("MusicEQBand02", "Preamp"), "-6.400000");
  EXPECT_EQ(settings.GetString("MusicEQBand02", "Band00_Type"), "4");
  EXPECT_EQ(settings.GetString("MusicEQBand02", "Band02_Enable"), "0");
  // The preamp and the shelf changed the samples.
  EXPECT_NE(testsupport::ReadFile(m_dir.File("out.wav")),
            testsupport::ReadFile(m_dir.File("in.wav")));

  const auto exported =
      Run({"/command", "/access_setting:user.ini", "/eq_index:2", "/export_preset:back.txt"});
  EXPECT_EQ(exported.exitCode, 0);
  EXPECT_EQ(exported.out,
            "Information:Export EQ index 2 to the preset file(back.txt).\r\n"
            "Terminated:ExportPreset:Result:1\r\n");
  EXPECT_EQ(testsupport::ReadFile(m_dir.File("back.txt")),
            "Preamp: -6.4 dB\n"
            "Filter 1: ON LSC Fc 105 Hz Gain 6.2 dB Q 0.7\n"
            "Filter 2: ON PK Fc 2000 Hz Gain -1.5 dB Q 1.2\n"
            "Filter 3: OFF NO Fc 50 Hz Q 30\n");
}

TEST_F(PresetEndToEndTest, FailuresSayWhyAndLeaveTheSettingsAlone) {
  testsupport::WriteFile(m_dir.File("graphic.txt"), "GraphicEQ: 20 0; 40 1\n");
  testsupport::WriteFile(m_dir.File("user.ini"), "[MusicEQ]\r\n");
  RampWave("in.wav", 800);
  auto run = Run({"/command", "/import_preset:graphic.txt", "/access_setting:user.ini",
                  "/convert_source:in.wav"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out,
            "Information:Import the preset(graphic.txt).\r\n"
            "Information:Line 1 is skipped: a graphic equalizer's curve is not read.\r\n"
            "Error:The preset file holds no filter that can be imported(graphic.txt).\r\n"
            "Terminated:ImportPreset:Result:0\r\n"
            "Information:The conversion is not run: the preset step before it failed.\r\n"
            "Terminated:ConvertFile:Result:0\r\n");
  EXPECT_EQ(testsupport::ReadFile(m_dir.File("user.ini")), "[MusicEQ]\r\n");
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("in_filter.wav")));

  run = Run({"/command", "/import_preset:missing.txt", "/access_setting:user.ini"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.out.find("Error:Can't read the preset file(missing.txt): "), std::string::npos);

  run = Run({"/command", "/access_setting:user.ini", "/eq_index:4", "/export_preset:x.txt"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out,
            "Error:Can't load EQ index 4 from the settings file(user.ini): the file holds no "
            "setup for this EQ index.\r\nTerminated:ExportPreset:Result:0\r\n");
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("x.txt")));

  run = Run({"/command", "/export_preset:x.txt"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "Error:A preset is imported into or exported from a settings file: name it with "
            "/access_setting.\r\n");
}

// One band limit everywhere: a preset of more filters is refused before anything is written, and
// a settings file that holds more (as an earlier import wrote them) fails the conversion and the
// export instead of losing its last bands without a word.
TEST_F(PresetEndToEndTest, MoreBandsThanTheLimitAreRefusedNotDropped) {
  std::string preset;
  for (int n = 0; n < 101; ++n) {
    preset += "Filter " + std::to_string(n + 1) + ": ON PK Fc " + std::to_string(100 + n) +
              " Hz Gain 1 dB Q 1\n";
  }
  const std::string settings = testsupport::ManyBellsSettings(101);
  testsupport::WriteFile(m_dir.File("many.txt"), preset);
  RampWave("in.wav", 800);
  auto run = Run({"/command", "/import_preset:many.txt", "/access_setting:user.ini",
                  "/convert_source:in.wav"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out,
            "Information:Import the preset(many.txt).\r\n"
            "Error:The preset file holds 101 filters, more than the limit of 100 bands(many.txt)."
            "\r\n"
            "Terminated:ImportPreset:Result:0\r\n"
            "Information:The conversion is not run: the preset step before it failed.\r\n"
            "Terminated:ConvertFile:Result:0\r\n");
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("user.ini")));
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("in_filter.wav")));

  testsupport::WriteFile(m_dir.File("big.ini"), settings);
  const std::string refusal =
      "Error:Can't load EQ index 0 from the settings file(big.ini): its setup holds 101 bands, "
      "more than the limit of 100.\r\n";
  run = Run({"/command", "/access_setting:big.ini", "/convert_source:in.wav"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, refusal + "Terminated:ConvertFile:Result:0\r\n");
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("in_filter.wav")));
  run = Run({"/command", "/access_setting:big.ini", "/export_preset:back.txt"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, refusal + "Terminated:ExportPreset:Result:0\r\n");
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("back.txt")));
  EXPECT_EQ(testsupport::ReadFile(m_dir.File("big.ini")), settings);
}

}  // namespace
