#include "platform/fs/FileSystem.h"
#include "platform/fs/TempFileNames.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;

// The names in a folder, sorted.
std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

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

// One file, however it is named: spellings, links and hard links of an existing file; for paths
// not there yet, the file a write would create (a link that leads nowhere yet counts as the
// file it leads to, since a write follows it there).
TEST(FileSystemTest, SameFileComparesIdentityNotSpelling) {
  namespace fs = std::filesystem;
  TempDir dir;
  testsupport::WriteFile(dir.File("a.wav"), "x");
  testsupport::WriteFile(dir.File("b.wav"), "x");  // the same bytes, another file
  fs::create_directory(dir.File("sub"));
  const std::string a = dir.File("a.wav");
  struct Case {
    std::string first;
    std::string second;
    bool same;
  };
  std::vector<Case> cases = {
      {a, a, true},
      {a, dir.File("./a.wav"), true},
      {a, dir.File("sub/../a.wav"), true},
      {a, dir.File("b.wav"), false},
      {a, dir.File("sub"), false},
      {a, dir.File("new.wav"), false},  // one there, one not
      {dir.File("new.json"), dir.File("sub/.././new.json"), true},
      {dir.File("new.json"), dir.File("sub/new.json"), false},
      {a, "", false},
  };
#if defined(_WIN32)
  cases.push_back({a, dir.File("A.WAV"), true});
  cases.push_back({dir.File("New.Json"), dir.File("NEW.json"), true});
#else
  fs::create_hard_link(a, dir.File("hard.wav"));
  fs::create_symlink(a, dir.File("soft.wav"));
  fs::create_directory_symlink(dir.File("sub"), dir.File("folder"));
  fs::create_symlink(dir.File("sub/later.json"), dir.File("dangling.json"));
  cases.push_back({a, dir.File("hard.wav"), true});
  cases.push_back({dir.File("soft.wav"), a, true});
  cases.push_back({dir.File("folder/new.json"), dir.File("sub/new.json"), true});
  cases.push_back({dir.File("dangling.json"), dir.File("sub/later.json"), true});
  cases.push_back({a, dir.File("A.WAV"), false});
#endif
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SameFile(c.first, c.second), c.same) << c.first << " | " << c.second;
  }
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

#if !defined(_WIN32)  // the path length limit of Linux
// A folder so deep that its path leaves room for the file's short name but not for the longer
// name of the temporary file: the create fails, and the file's name is not written instead.
TEST(FileSystemTest, AnExclusiveCreateWhoseTemporaryFileCannotBeMadeLeavesNoFile) {
  TempDir dir;
  // A path holds at most 4,095 bytes: "/c" fits after the folder, "/.tonvale-new.<host>..." not.
  constexpr std::size_t kFolderLength = 4080;
  std::string folder = dir.Path();
  ASSERT_LT(folder.size() + 2, kFolderLength);
  while (folder.size() < kFolderLength) {
    const std::size_t left = kFolderLength - folder.size();  // 2 or more
    folder += '/' + std::string(left > 250 ? 200 : left - 1, 'd');
    ASSERT_TRUE(std::filesystem::create_directory(folder)) << folder.size();
  }
  ASSERT_EQ(folder.size(), kFolderLength);
  const std::string file = folder + "/c";
  EXPECT_FALSE(platform::CreateFileExclusive(file, "content", platform::AtomicFileMode::Named));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(ListFolder(folder).empty());
}
#endif

#if !defined(_WIN32)  // permission bits and symbolic links
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
  int error = 0;
  EXPECT_FALSE(platform::ReplaceFileAtomically(dir.File("missing/data"), "x", &error));
  EXPECT_EQ(error, ENOENT);
}
#endif

TEST(FileSystemTest, TempFilesAreUniquePrivateWritableAndLeaveNothingBehind) {
  // A temporary folder of this test's own, so that other tests' files do not count.
  TempDir dir;
  const testsupport::ScopedTempFolder scoped(dir.Path());
  {
    auto first = platform::TempFile::Create();
    auto second = platform::TempFile::Create();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->Path(), second->Path());
#if !defined(_WIN32)
    struct stat info {};
    ASSERT_EQ(::stat(first->Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
#endif
    testsupport::WriteFile(first->Path(), "plain copy");
    EXPECT_EQ(ReadFile(first->Path()), "plain copy");
    platform::TempFile moved = std::move(*first);
    testsupport::WriteFile(moved.Path(), "moved");
    EXPECT_EQ(ReadFile(moved.Path()), "moved");
  }
  EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{});
}

TEST(FileSystemTest, OnlyRegularFilesAreReadAndEveryRefusalSaysWhy) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("folder"));
  // A sparse file just over the size limit costs no disk space.
  testsupport::WriteFile(dir.File("big"), "");
  std::filesystem::resize_file(dir.File("big"), platform::kMaxReadFileBytes + 1);
  testsupport::WriteFile(dir.File("small"), "text");
  struct Case {
    std::string path;
    int error;
  };
  std::vector<Case> cases = {
      {dir.File("folder"), EISDIR}, {dir.File("none"), ENOENT}, {dir.File("big"), EFBIG}};
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  cases.push_back({dir.File("fifo"), platform::kErrorNotRegularFile});
  cases.push_back({"/dev/zero", platform::kErrorNotRegularFile});
#endif
  for (const Case& c : cases) {
    int error = 0;
    EXPECT_FALSE(platform::ReadFileBytes(c.path, &error)) << c.path;
    EXPECT_EQ(error, c.error) << c.path;
  }
  EXPECT_EQ(platform::ReadFileBytes(dir.File("small")), "text");
  EXPECT_EQ(platform::DescribeFileError(EISDIR), "it is a folder");
  EXPECT_EQ(platform::DescribeFileError(ENOSPC), "no space left on the device");
  EXPECT_EQ(platform::DescribeFileError(EACCES), "permission denied");
  EXPECT_EQ(platform::DescribeFileError(platform::kErrorNotRegularFile),
            "it is not a regular file");
}

TEST(FileSystemTest, AtomicFileNeverTouchesTheTargetBeforeItsRename) {
  TempDir dir;
  const std::string target = dir.File("out.wav");
  testsupport::WriteFile(target, "old");
  for (const auto mode : {platform::AtomicFileMode::Automatic, platform::AtomicFileMode::Named}) {
    auto file = platform::AtomicFile::Create(target, nullptr, mode);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write("new", 3));
    EXPECT_EQ(ReadFile(target), "old");
    const auto names = ListFolder(dir.Path());
    if (mode == platform::AtomicFileMode::Named) {
      // The temporary file names its maker: this host and this process.
      ASSERT_EQ(names.size(), 2U);
      const auto owner = platform::ParseTempName(names[0], platform::kAtomicTempPrefix);
      ASSERT_TRUE(owner) << names[0];
      EXPECT_EQ(owner->host, platform::HostName());
      EXPECT_EQ(owner->pid, testsupport::CurrentProcessId());
    } else {
      EXPECT_LE(names.size(), 2U);  // no name at all where the system has unnamed files
    }
    // Dropped without Commit: the target stays and nothing is left behind.
  }
  EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"out.wav"});
  EXPECT_EQ(ReadFile(target), "old");

  int error = 0;
  std::filesystem::create_directory(dir.File("folder"));
  EXPECT_FALSE(platform::AtomicFile::Create(dir.File("folder"), &error));
  EXPECT_EQ(error, EISDIR);
  EXPECT_FALSE(platform::AtomicFile::Create(dir.File("missing/out.wav"), &error));
  EXPECT_EQ(error, ENOENT);
}

// A name this process makes parses back to this host and process (the named atomic file above);
// a host name may hold dots, and malformed names are no one's.
TEST(FileSystemTest, TempNamesCarryHostAndProcessAndOnlyDeadOwnersLitterIsRemoved) {
  const auto dotted =
      platform::ParseTempName(".tonvale-tmp.box.example.org.42.7.ab", ".tonvale-tmp.");
  ASSERT_TRUE(dotted);
  EXPECT_EQ(dotted->host, "box.example.org");
  EXPECT_EQ(dotted->pid, 42);
  for (const char* bad : {".tonvale-tmp.", ".tonvale-tmp.host.x.1.ab", ".tonvale-tmp.host.1.2.XY",
                          ".tonvale-tmp.1.2.ab", "other.host.1.2.ab"}) {
    EXPECT_FALSE(platform::ParseTempName(bad, ".tonvale-tmp.")) << bad;
  }

  TempDir dir;
  const std::string& host = platform::HostName();
  const std::string dead = std::to_string(testsupport::DeadProcessId());
  const std::string prefix(platform::kAtomicTempPrefix);
  const std::vector<std::string> kept = {
      prefix + host + "." + std::to_string(testsupport::CurrentProcessId()) +
          ".0.a",  // this process
      prefix + host + "." + std::to_string(testsupport::OtherRunningProcessId()) +
          ".0.b",                                   // a running process
      prefix + "another-host." + dead + ".0.c",     // maybe running elsewhere
      "xxx-tonvale." + host + "." + dead + ".0.d",  // another prefix
      "notes.txt"};
  for (const std::string& keep : kept) {
    testsupport::WriteFile(dir.File(keep), "x");
  }
  testsupport::WriteFile(dir.File(prefix + host + "." + dead + ".3.e"), "litter");
  std::filesystem::create_directory(dir.File(prefix + host + "." + dead + ".4.f"));  // not a file
  EXPECT_EQ(platform::RemoveStaleTempFiles(dir.Path(), platform::kAtomicTempPrefix), 1);
  std::vector<std::string> expected = kept;
  expected.push_back(prefix + host + "." + dead + ".4.f");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ListFolder(dir.Path()), expected);
}

}  // namespace
