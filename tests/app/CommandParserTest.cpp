#include "app/CommandParser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

using testsupport::TempDir;

// Parses `args` the way the program does: messages reach the console only while console mode
// is on at the moment they are written.
struct Parse {
  CommandOptions options;
  AppConfig config;
  std::string console;
  int result = -1;

  explicit Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tonvale");
    CommandParser parser(options, config, [this](std::string_view text) {
      if (options.consoleMode == 1) {
        console.append(text);
      }
    });
    result = parser.ParseCommandLine(args);
  }
};

// Each flag alone: whether the line is accepted and what it switches on. Flags take "/" or "-"
// and blanks around them; two dashes are for help and version only; every name is
// case-sensitive. Help and version switch the console on too.
TEST(CommandParserTest, FlagSpellingsAndWhatTheySwitchOn) {
  struct Case {
    const char* arg;
    int result;
    int help;
    int version;
  };
  for (const Case& c :
       {Case{"/command", 1, 0, 0},   Case{"-command", 1, 0, 0},  Case{"  /command  ", 1, 0, 0},
        Case{"\t-command", 1, 0, 0}, Case{"-h", 1, 1, 0},        Case{"--help", 1, 1, 0},
        Case{"-help", 1, 1, 0},      Case{"/help", 1, 1, 0},     Case{" --help ", 1, 1, 0},
        Case{"--version", 1, 0, 1},  Case{"-version", 1, 0, 1},  Case{"/version", 1, 0, 1},
        Case{"/commandx", 0, 0, 0},  Case{"command", 0, 0, 0},   Case{"--h", 0, 0, 0},
        Case{"--command", 0, 0, 0},  Case{"---help", 0, 0, 0},   Case{"--Version", 0, 0, 0},
        Case{"/VERSION", 0, 0, 0},   Case{"--versions", 0, 0, 0}}) {
    const Parse p({c.arg});
    EXPECT_EQ(p.result, c.result) << c.arg;
    if (c.result == 1) {
      EXPECT_EQ(p.options.consoleMode, 1) << c.arg;
      EXPECT_EQ(p.options.showHelp, c.help) << c.arg;
      EXPECT_EQ(p.options.showVersion, c.version == 1) << c.arg;
    }
  }
  EXPECT_EQ(Parse({"/command", "/Command"}).result, 0);
}

TEST(CommandParserTest, ValuesFollowEqualsOrColonAndKeepTrailingBlanks) {
  Parse p({"/eq_index=3", "-access_setting:/tmp/my settings.cfg  "});
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.options.eqIndex, 3);
  EXPECT_EQ(p.options.hasAccessSetting, 1);
  EXPECT_EQ(p.options.accessSettingPath, "/tmp/my settings.cfg  ");
  EXPECT_EQ(Parse({"/eq_index:3"}).options.eqIndex, 3);
  EXPECT_EQ(Parse({"/eq_index:-2"}).options.eqIndex, -2);
  EXPECT_EQ(Parse({"/eq_index:x"}).options.eqIndex, 0);
  EXPECT_EQ(Parse({"/eq_index:"}).options.eqIndex, 0);

  Parse empty({"/access_setting:"});
  EXPECT_EQ(empty.options.hasAccessSetting, 1);
  EXPECT_EQ(empty.options.accessSettingPath, "");
}

TEST(CommandParserTest, RepeatedOptionsRunAgainAndTheLastValueWins) {
  Parse p({"/eq_index:1", "/h", "/eq_index:5", "/command"});
  EXPECT_EQ(p.options.eqIndex, 5);
  EXPECT_EQ(p.options.showHelp, 1);  // a flag once set stays set
}

TEST(CommandParserTest, EmptyArgumentsAreSkippedAndNoArgumentsLeaveTheRecordAlone) {
  Parse p({"", "/command", ""});
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.options.consoleMode, 1);

  CommandOptions options;
  options.eqIndex = 9;
  AppConfig config;
  CommandParser parser(options, config, [](std::string_view) {});
  EXPECT_EQ(parser.ParseCommandLine({"tonvale"}), 1);
  EXPECT_EQ(options.eqIndex, 9);
}

TEST(CommandParserTest, ConvertOutputCreatesItsFolderChainOrSaysWhyNot) {
  TempDir dir;
  const std::string out = dir.File("a/b/c/out.wav");
  Parse created({"/command", "/convert_output:" + out});
  EXPECT_EQ(created.result, 1);
  EXPECT_EQ(created.options.convertOutputPath, out);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
  EXPECT_FALSE(std::filesystem::exists(out));

  // A bare file name means the current folder, which exists.
  Parse bare({"/command", "/convert_output:out.wav"});
  EXPECT_EQ(bare.result, 1);
  EXPECT_EQ(bare.console, "");
  EXPECT_EQ(bare.options.convertOutputPath, "out.wav");

  // A part beyond the Windows path buffers (an extension of 10 characters) cannot be split
  // there; elsewhere no part has a limit of its own.
  Parse unsplittable({"/command", "/convert_output:" + dir.File("out.extension10")});
#if defined(_WIN32)
  EXPECT_EQ(unsplittable.result, 0);
  EXPECT_EQ(unsplittable.console, "Error:Can't create directory().\r\n");
#else
  EXPECT_EQ(unsplittable.result, 1);
  EXPECT_EQ(unsplittable.console, "");
#endif

  testsupport::WriteFile(dir.File("file"), "x");
  Parse blocked({"/command", "/convert_output:" + dir.File("file/sub/out.wav")});
  EXPECT_EQ(blocked.result, 0);
  EXPECT_EQ(blocked.console, "Error:Can't create directory(" + dir.File("file/sub/") + ").\r\n");
}

// A desktop launcher started without a file passes the option with an empty value.
TEST(CommandParserTest, OpenRecordingMustExistUnlessItIsEmpty) {
  TempDir dir;
  testsupport::WriteFile(dir.File("take.wav"), "x");
  EXPECT_EQ(Parse({"/open_recording:" + dir.File("take.wav")}).options.openRecordingPath,
            dir.File("take.wav"));
  Parse empty({"/open_recording:"});
  EXPECT_EQ(empty.result, 1);
  EXPECT_EQ(empty.options.openRecordingPath, "");
  Parse missing({"/command", "/open_recording:" + dir.File("none.wav")});
  EXPECT_EQ(missing.result, 0);
  EXPECT_EQ(missing.console, "Error:File not exist(" + dir.File("none.wav") + ").\r\n");
}

TEST(CommandParserTest, CheckLiveIsOnOnlyForTheValueOne) {
  EXPECT_EQ(Parse({"/checklive:1"}).config.checkLive, 1);
  EXPECT_EQ(Parse({"/checklive= 1"}).config.checkLive, 1);
  EXPECT_EQ(Parse({"/checklive:0"}).config.checkLive, 0);
  EXPECT_EQ(Parse({"/checklive:yes"}).config.checkLive, 0);
  EXPECT_EQ(Parse({"/checklive:11"}).config.checkLive, 0);
}

// The delivery options: each value in its range is taken, each other one refused with its
// line, naming the value; the values kept are what the conversion gets.
TEST(CommandParserTest, DeliveryOptionsTakeValuesInTheirRangesOnly) {
  using delivery::SampleDepth;
  const Parse all({"/command", "/loudness", "/normalize:-23.5", "/true_peak=-2",
                   "/output_rate:16000", "/output_channels:1", "/output_bits:float", "/dither:off",
                   "/deliver:archive"});
  ASSERT_EQ(all.result, 1) << all.console;
  EXPECT_TRUE(all.options.sayLoudness);
  EXPECT_EQ(all.options.delivery, (delivery::DeliverySettings{.targetLufs = -23.5,
                                                              .ceilingDbtp = -2.0,
                                                              .sampleRate = 16000,
                                                              .channels = 1,
                                                              .depth = SampleDepth::Float32,
                                                              .dither = false}));
  EXPECT_EQ(all.options.deliveryName, "archive");
  EXPECT_EQ(Parse({"/output_bits:16"}).options.delivery.depth, SampleDepth::Int16);
  EXPECT_EQ(Parse({"/output_bits:24"}).options.delivery.depth, SampleDepth::Int24);
  EXPECT_EQ(Parse({"/output_bits:32"}).options.delivery.depth, SampleDepth::Int32);
  EXPECT_EQ(Parse({"/normalize:0"}).options.delivery.targetLufs, 0.0);
  EXPECT_EQ(Parse({"/normalize:-70"}).options.delivery.targetLufs, -70.0);
  EXPECT_EQ(Parse({"/output_rate:8000"}).options.delivery.sampleRate, 8000U);
  EXPECT_EQ(Parse({"/output_rate:384000"}).options.delivery.sampleRate, 384000U);
  EXPECT_EQ(Parse({"/dither:on"}).options.delivery.dither, true);
  EXPECT_EQ(Parse({"/command"}).options.delivery, delivery::DeliverySettings{});

  const std::pair<const char*, const char*> refused[] = {
      {"/normalize:-70.1", "The loudness target must be a number of LUFS from -70 to 0(-70.1)."},
      {"/normalize:1", "The loudness target must be a number of LUFS from -70 to 0(1)."},
      {"/normalize:-16dB", "The loudness target must be a number of LUFS from -70 to 0(-16dB)."},
      {"/normalize:nan", "The loudness target must be a number of LUFS from -70 to 0(nan)."},
      {"/normalize:", "The loudness target must be a number of LUFS from -70 to 0()."},
      {"/true_peak:-61", "The true-peak ceiling must be a number of dBTP from -60 to 0(-61)."},
      {"/true_peak:0.5", "The true-peak ceiling must be a number of dBTP from -60 to 0(0.5)."},
      {"/output_rate:7999",
       "The output rate must be a whole number of Hz from 8000 to 384000(7999)."},
      {"/output_rate:44100.5",
       "The output rate must be a whole number of Hz from 8000 to 384000(44100.5)."},
      {"/output_rate:4294967297",
       "The output rate must be a whole number of Hz from 8000 to 384000(4294967297)."},
      {"/output_channels:2", "The output can be mixed down to 1 channel only(2)."},
      {"/output_bits:8", "The output bits must be 16, 24, 32 or float(8)."},
      {"/output_bits:Float", "The output bits must be 16, 24, 32 or float(Float)."},
      {"/dither:no", "The dither must be on or off(no)."},
      {"/deliver:Podcast",
       "There is no delivery of that name(Podcast): podcast, broadcast, speech-recognition, "
       "archive."},
  };
  for (const auto& [arg, line] : refused) {
    const Parse p({"/command", arg});
    EXPECT_EQ(p.result, 0) << arg;
    EXPECT_EQ(p.console, std::string("Error:") + line + "\r\n");
  }
}

}  // namespace
