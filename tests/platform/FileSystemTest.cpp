#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;

TEST(FileSystemTest, CreatesFolderChainsAndTellsFilesFromFolders) {
  TempDir dir;
  const std::string nested = dir.File("a/b/c");
  EXPECT_FALSE(platform::DirectoryExists(nested));
  EXPECT_TRUE(platform::CreateDirectoryTree(nested));
  EXPECT_TRUE(platform::DirectoryExists(nested));
  EXPECT_TRUE(platform::PathExists(nested));
  EXPECT_FALSE(platform::CreateDirectoryTree(""));
  testsupport::WriteFile(dir.File("f"), "x");
  EXPECT_TRUE(platform::PathExists(dir.File("f")));
  EXPECT_FALSE(platform::DirectoryExists(dir.File("f")));
  EXPECT_FALSE(platform::CreateDirectoryTree(dir.File("f/sub")));
  EXPECT_TRUE(platform::DeleteFilePath(dir.File("f")));
  EXPECT_FALSE(platform::PathExists(dir.File("f")));
}

TEST(FileSystemTest, ExclusiveCreateNeverReplacesAndLeavesNothingBehind) {
  TempDir dir;
  const std::string file = dir.File("cfg.ini");
  EXPECT_TRUE(platform::CreateFileExclusive(file, "first"));
  EXPECT_FALSE(platform::CreateFileExclusive(file, "second"));
  EXPECT_EQ(ReadFile(file), "first");
  EXPECT_FALSE(platform::CreateFileExclusive(dir.File("missing/cfg.ini"), "x"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(FileSystemTest, AtomicReplaceKeepsPermissionsAndFollowsLinks) {
  TempDir dir;
  const std::string file = dir.File("data");
  testsupport::WriteFile(file, "old");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  std::filesystem::create_symlink(file, dir.File("link"));
  ASSERT_TRUE(platform::ReplaceFileAtomically(dir.File("link"), "new"));
  EXPECT_EQ(ReadFile(file), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640U);
  EXPECT_FALSE(platform::ReplaceFileAtomically(dir.File("missing/data"), "x"));
}

TEST(FileSystemTest, TempFilesAreUniquePrivateAndRemoved) {
  std::string firstPath;
  {
    auto first = platform::TempFile::Create("xxx");
    auto second = platform::TempFile::Create("xxx");
    ASSERT_TRUE(first && second);
    firstPath = first->Path();
    EXPECT_NE(first->Path(), second->Path());
    EXPECT_EQ(std::filesystem::path(firstPath).filename().string().rfind("xxx", 0), 0U);
    struct stat info {};
    ASSERT_EQ(::stat(firstPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    platform::TempFile moved = std::move(*first);
    EXPECT_EQ(moved.Path(), firstPath);
  }
  EXPECT_FALSE(platform::PathExists(firstPath));
}

}  // namespace
