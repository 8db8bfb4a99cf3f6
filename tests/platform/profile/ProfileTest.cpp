#include "platform/profile/Profile.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestSupport.h"

namespace {

using platform::ProfileDocument;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(ProfileTest, LookupIgnoresCaseBlanksCommentsAndLinesWithoutEquals) {
  const ProfileDocument doc(
      "; comment = not a key\r\n"
      "orphan=before any section\r\n"
      "  [ Eq_Ui ]  \r\n"
      "no equals sign here\r\n"
      "   BandNum   =   10   \r\n"
      "\tQuoted = \"  spaced value \"\r\n"
      "Half = \"open only\r\n"
      ";Hidden=1\r\n"
      "[eq_ui]\r\n"
      "Second=from a repeated section\r\n");
  EXPECT_EQ(doc.Find("EQ_UI", "bandnum"), "10");
  EXPECT_EQ(doc.Find("eq_ui", "QUOTED"), "  spaced value ");
  EXPECT_EQ(doc.Find(" EQ_UI\t", "  BandNum "), "10");  // names are trimmed on lookup too
  EXPECT_EQ(doc.Find("EQ_UI", "Half"), "\"open only");
  EXPECT_FALSE(doc.Find("EQ_UI", "Hidden"));
  EXPECT_FALSE(doc.Find("EQ_UI", "orphan"));
  EXPECT_FALSE(doc.Find("EQ_UI", "Second"));  // only the first matching section counts
  EXPECT_FALSE(doc.Find("Missing", "BandNum"));
}

TEST(ProfileTest, FirstKeyWinsAndLineEndingsAndByteOrderMarkReadAlike) {
  const std::string body = "[S]\nKey=first\nkey=second\n";
  EXPECT_EQ(ProfileDocument(body).Find("s", "KEY"), "first");
  EXPECT_EQ(ProfileDocument("\xEF\xBB\xBF[S]\r\nKey=bom\r\n").Find("S", "Key"), "bom");
  EXPECT_EQ(ProfileDocument("[S]\r\nKey=\r\n").Find("S", "Key"), "");
}

// Found by fuzzing: a last line ending in a lone CR read as another section name until a line
// feed was appended after it, so a key written into that section could not be read back.
TEST(ProfileTest, StrayCarriageReturnAtTheEndReadsLikeALineBreak) {
  ProfileDocument doc("[A]\nx=1\n[MusicEQ\r");
  ASSERT_TRUE(doc.Set("MusicEQ", "MusicEQ_Index00", "MusicEQBand00"));
  EXPECT_EQ(doc.Find("musiceq", "musiceq_index00"), "MusicEQBand00");
  EXPECT_EQ(ProfileDocument("[S]\nKey = v\r\r\n").Find("S", "Key"), "v");
}

TEST(ProfileTest, ReadsAtMost779BytesAndIntegersByTheDecimalRule) {
  TempDir dir;
  const std::string file = dir.File("a.ini");
  WriteFile(file, "[S]\nLong=" + std::string(800, 'x') + "\nExact=" + std::string(779, 'y') +
                      "\nNum=  -42abc\nWord=abc\nEmpty=\nBig=99999999999\n");
  EXPECT_EQ(platform::ProfileGetString(file, "S", "Long"), std::string(779, 'x'));
  EXPECT_EQ(platform::ProfileGetString(file, "S", "Exact"), std::string(779, 'y'));
  EXPECT_EQ(platform::ProfileGetInt(file, "S", "Num", 7), -42);
  EXPECT_EQ(platform::ProfileGetInt(file, "S", "Word", 7), 0);
  EXPECT_EQ(platform::ProfileGetInt(file, "S", "Empty", 7), 7);
  EXPECT_EQ(platform::ProfileGetInt(file, "S", "Missing", 7), 7);
  EXPECT_EQ(platform::ProfileGetInt(file, "S", "Big", 7), 2147483647);
  EXPECT_EQ(platform::ProfileGetString(dir.File("none.ini"), "S", "Num"), "");
}

TEST(ProfileTest, WriteReplacesOnlyTheKeyLineAndKeepsEveryOtherByte) {
  TempDir dir;
  const std::string file = dir.File("a.ini");
  const std::string before =
      "; settings\r\n[EQ_UI]\r\nBandNum = 10\r\n  Odd  =  x  \r\n\r\n[App_Status]\r\nIs_Live = 1";
  WriteFile(file, before);
  ASSERT_TRUE(platform::ProfileWriteString(file, "app_status", "IS_LIVE", "0"));
  EXPECT_EQ(
      ReadFile(file),
      "; settings\r\n[EQ_UI]\r\nBandNum = 10\r\n  Odd  =  x  \r\n\r\n[App_Status]\r\nIS_LIVE=0");
  ASSERT_TRUE(platform::ProfileWriteString(file, "EQ_UI", "BandNum", "4"));
  EXPECT_EQ(ReadFile(file),
            "; settings\r\n[EQ_UI]\r\nBandNum=4\r\n  Odd  =  x  \r\n\r\n[App_Status]\r\nIS_LIVE=0");
}

TEST(ProfileTest, WriteAddsMissingKeysAfterTheSectionAndMissingSectionsAtTheEnd) {
  TempDir dir;
  const std::string file = dir.File("a.ini");
  WriteFile(file, "[A]\nx=1\n; about B\n\n[B]\ny=2");
  ASSERT_TRUE(platform::ProfileWriteString(file, "A", "z", "3"));
  ASSERT_TRUE(platform::ProfileWriteString(file, "B", "w", "4"));
  ASSERT_TRUE(platform::ProfileWriteString(file, "C", "v", "5"));
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\nz=3\n; about B\n\n[B]\ny=2\nw=4\n\n[C]\nv=5\n");
}

TEST(ProfileTest, WriteCreatesAFileWithCrLfButNeedsItsFolder) {
  TempDir dir;
  const std::string file = dir.File("new.ini");
  ASSERT_TRUE(platform::ProfileWriteStrings(
      file, {{"MusicEQ", "MusicEQ_Index00", "MusicEQBand00"}, {"MusicEQBand00", "BandNum", "10"}}));
  EXPECT_EQ(ReadFile(file),
            "[MusicEQ]\r\nMusicEQ_Index00=MusicEQBand00\r\n\r\n[MusicEQBand00]\r\nBandNum=10\r\n");
  EXPECT_FALSE(platform::ProfileWriteString(dir.File("missing/new.ini"), "S", "k", "v"));
  EXPECT_FALSE(platform::ProfileWriteString(file, "S", "k", "two\r\nlines"));
  EXPECT_FALSE(platform::ProfileWriteString(file, "S", "k=v", "1"));
}

TEST(ProfileTest, BatchWriteIsAllOrNothing) {
  TempDir dir;
  const std::string file = dir.File("a.ini");
  WriteFile(file, "[S]\nk=1\n");
  EXPECT_FALSE(platform::ProfileWriteStrings(file, {{"S", "k", "2"}, {"S", "bad", "a\nb"}}));
  EXPECT_EQ(ReadFile(file), "[S]\nk=1\n");
}

// Two processes write different keys of one file many times at once: each update is made under
// the folder lock on the latest content, so both final values are there and every read sees a
// complete file.
TEST(ProfileTest, ConcurrentWritersInTwoProcessesLoseNoUpdate) {
  TempDir dir;
  const std::string file = dir.File("shared.ini");
  WriteFile(file, "[App_Status]\r\nIs_Live = 1");
  constexpr int kWrites = 150;
  testsupport::ChildProcess first(PROFILE_WRITER_TOOL, {file, "One", std::to_string(kWrites)}, ".");
  testsupport::ChildProcess second(PROFILE_WRITER_TOOL, {file, "Two", std::to_string(kWrites)},
                                   ".");
  int tornReads = 0;
  for (int i = 0; i < 200; ++i) {
    if (platform::ProfileGetString(file, "App_Status", "Is_Live") != "1") {
      ++tornReads;
    }
  }
  EXPECT_EQ(first.Wait().exitCode, 0);
  EXPECT_EQ(second.Wait().exitCode, 0);
  EXPECT_EQ(tornReads, 0);
  EXPECT_EQ(platform::ProfileGetInt(file, "Writers", "One", 0), kWrites);
  EXPECT_EQ(platform::ProfileGetInt(file, "Writers", "Two", 0), kWrites);
  EXPECT_EQ(platform::ProfileGetString(file, "App_Status", "Is_Live"), "1");
}

}  // namespace
