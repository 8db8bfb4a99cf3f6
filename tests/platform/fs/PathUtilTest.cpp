#include "platform/fs/PathUtil.h"

#include <gtest/gtest.h>

namespace {

using platform::JoinPath;
using platform::SplitPath;

TEST(PathUtilTest, SplitGivesFolderWithSeparatorNameAndExtension) {
  struct Case {
    const char* path;
    const char* parts;  // folder|name|extension
  };
  std::string dir, name, ext;  // kept between the cases: each call overwrites all three
  for (const Case& c : {Case{"/a/b/voice.take1.wav", "/a/b/|voice.take1|.wav"},
                        Case{"voice", "|voice|"}, Case{"dir/.hidden", "dir/||.hidden"}}) {
    ASSERT_EQ(SplitPath(c.path, dir, name, ext), 1) << c.path;
    EXPECT_EQ(dir + "|" + name + "|" + ext, c.parts);
  }
}

// The part limits are the buffers of the Windows path functions; elsewhere only the system
// limits a path, and the callers that need it check the whole path against that.
TEST(PathUtilTest, SplitLimitsItsPartsOnWindowsOnly) {
  std::string dir = "keep", name = "keep", ext = "keep";
#if defined(_WIN32)
  // Extension: 9 characters with the dot fit, 10 do not.
  EXPECT_EQ(SplitPath("a/b.12345678", dir, name, ext), 1);
  dir = name = ext = "keep";
  EXPECT_EQ(SplitPath("a/b.123456789", dir, name, ext), 0);
  EXPECT_EQ(dir + name + ext, "keepkeepkeep");
  // Name: 259 fit, 260 do not.
  EXPECT_EQ(SplitPath("/" + std::string(259, 'n') + ".wav", dir, name, ext), 1);
  EXPECT_EQ(SplitPath("/" + std::string(260, 'n') + ".wav", dir, name, ext), 0);
  // Folder: 259 characters including its final separator fit, 260 do not.
  EXPECT_EQ(SplitPath(std::string(258, 'd') + "/x.wav", dir, name, ext), 1);
  EXPECT_EQ(SplitPath(std::string(259, 'd') + "/x.wav", dir, name, ext), 0);
#else
  const std::string folder = "/" + std::string(255, 'd') + "/" + std::string(3000, 'e') + "/";
  ASSERT_EQ(SplitPath(folder + std::string(300, 'n') + ".recording1", dir, name, ext), 1);
  EXPECT_EQ(dir, folder);
  EXPECT_EQ(name, std::string(300, 'n'));
  EXPECT_EQ(ext, ".recording1");
#endif
}

TEST(PathUtilTest, JoinPutsOneSeparatorBetweenPiecesAndOnWindowsRefusesOverlongResults) {
#if defined(_WIN32)
  const std::string sep = "\\";  // the separator a join adds; a "/" already there is kept
#else
  const std::string sep = "/";
#endif
  EXPECT_EQ(JoinPath({"/a/", "voice_filter.wav", ""}), "/a/voice_filter.wav");
  EXPECT_EQ(JoinPath({"/a", "voice_filter.wav", ""}), "/a" + sep + "voice_filter.wav");
  EXPECT_EQ(JoinPath({"/a//", "//b", "c", ""}), "/a//b" + sep + "c");
  EXPECT_EQ(JoinPath({"", "voice_filter.wav", ""}), "voice_filter.wav");
  EXPECT_EQ(JoinPath({"/a", "", "ignored"}), "/a");
#if defined(_WIN32)
  EXPECT_EQ(JoinPath({"/" + std::string(500, 'd'), std::string(17, 'f'), ""}).size(), 519U);
  EXPECT_EQ(JoinPath({"/" + std::string(500, 'd'), std::string(18, 'f'), ""}), "");
#else
  EXPECT_EQ(JoinPath({"/" + std::string(500, 'd'), std::string(18, 'f'), ""}).size(), 520U);
#endif
}

TEST(PathUtilTest, ExtensionReplacementAndFileName) {
  EXPECT_EQ(platform::ReplaceExtension("/opt/build/tonvale", ".ini"), "/opt/build/tonvale.ini");
  EXPECT_EQ(platform::ReplaceExtension("/opt/my.app/tonvale.exe", ".ini"),
            "/opt/my.app/tonvale.ini");
  EXPECT_EQ(platform::FileNamePart("/opt/build/tonvale"), "tonvale");
  EXPECT_EQ(platform::FileNamePart("tonvale"), "tonvale");
}

}  // namespace
