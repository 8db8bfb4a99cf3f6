#include "platform/fs/FolderListing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/NativePath.h"
#include "tests/support/TestSupport.h"

namespace {

using platform::MatchesWildcard;

TEST(FolderListingTest, WildcardsMatchWholeNames) {
  EXPECT_TRUE(MatchesWildcard("*.wav", "take.wav"));
  EXPECT_TRUE(MatchesWildcard("*.wav", ".wav"));
  EXPECT_FALSE(MatchesWildcard("*.wav", "take.wav.bak"));
  EXPECT_TRUE(MatchesWildcard("take??.*", "take01.flac"));
  EXPECT_FALSE(MatchesWildcard("take??.*", "take1.flac"));
  EXPECT_TRUE(MatchesWildcard("*a*b*c", "xxaxxbxxbxxc"));  // backtracking past a false start
  EXPECT_FALSE(MatchesWildcard("*a*b*c", "xxaxxcxxb"));
  EXPECT_TRUE(MatchesWildcard("**", ""));
  EXPECT_FALSE(MatchesWildcard("?", ""));
  // A long run of stars against a long name that never matches ends at once.
  EXPECT_FALSE(MatchesWildcard(std::string(60, '*') + "b", std::string(5000, 'a')));
#if defined(_WIN32)
  EXPECT_TRUE(MatchesWildcard("*.WAV", "take.wav"));
#else
  EXPECT_FALSE(MatchesWildcard("*.WAV", "take.wav"));
#endif
}

TEST(FolderListingTest, ListsRegularFilesSortedAndDescendsOnlyWhenAsked) {
  testsupport::TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directories(platform::NativePath(dir.File("b/deeper")));
  fs::create_directories(platform::NativePath(dir.File("a")));
  for (const char* name : {"z.wav", "b.wav", "b/deeper/x.wav", "b/y.wav", "a/w.wav", "C.wav"}) {
    testsupport::WriteFile(dir.File(name), "x");
  }
  const auto top = platform::ListFolderFiles(dir.Path(), false);
  ASSERT_TRUE(top.has_value());
  EXPECT_EQ(*top, (std::vector<std::string>{"C.wav", "b.wav", "z.wav"}));
  const auto all = platform::ListFolderFiles(dir.Path(), true);
  ASSERT_TRUE(all.has_value());
  EXPECT_EQ(*all, (std::vector<std::string>{"C.wav", "a/w.wav", "b.wav", "b/deeper/x.wav",
                                            "b/y.wav", "z.wav"}));
  EXPECT_FALSE(platform::ListFolderFiles(dir.File("z.wav"), false).has_value());
  EXPECT_FALSE(platform::ListFolderFiles(dir.File("missing"), true).has_value());
#if !defined(_WIN32)
  // A link back up the tree is not followed: the listing ends and holds each file once.
  fs::create_directory_symlink(platform::NativePath(dir.Path()),
                               platform::NativePath(dir.File("a/loop")));
  const auto looped = platform::ListFolderFiles(dir.Path(), true);
  ASSERT_TRUE(looped.has_value());
  EXPECT_EQ(looped->size(), 6U);
#endif
}

}  // namespace
