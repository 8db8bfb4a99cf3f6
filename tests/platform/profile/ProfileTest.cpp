#include "platform/profile/Profile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

// A batch is read and rebuilt once, yet must give the very bytes of its entries written one
// after another: random texts (repeated and unclosed sections, keys before any section,
// duplicate keys, a byte-order mark, mixed or missing last line breaks) with random writes and
// removals, compared with Set and Remove one at a time.
TEST(ProfileTest, BatchGivesTheBytesOfItsEntriesWrittenOneAfterAnother) {
  const std::vector<std::string> pieces = {
      "[A]", "[a]", " [ B ] ", "[C", "[]", "x=1",       "X = 2", "y = \"q\"",
      "z=",  "=v",  "; c=1",   "",   "  ", "no equals", "w=3\r", "\xEF\xBB\xBF[A]"};
  const std::vector<std::string> sections = {"A", "a", " B ", "C", "D", "e"};
  const std::vector<std::string> keys = {"x", "X", "y", "z", "w", "new", " v "};
  std::mt19937 random(22);
  auto pick = [&random](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text = random() % 8 == 0 ? "\xEF\xBB\xBF" : "";
    const bool crlf = random() % 2 == 0;
    for (int n = static_cast<int>(random() % 9); n > 0; --n) {
      text += pick(pieces);
      if (n > 1 || random() % 3 != 0) {
        text += crlf == (random() % 6 != 0) ? "\r\n" : "\n";
      }
    }
    std::vector<platform::ProfileEntry> entries;
    for (int n = static_cast<int>(random() % 12); n > 0; --n) {
      entries.push_back({pick(sections), pick(keys), "v" + std::to_string(n), random() % 4 == 0});
    }
    ProfileDocument oneByOne(text);
    for (const platform::ProfileEntry& entry : entries) {
      if (entry.remove) {
        oneByOne.Remove(entry.section, entry.key);
      } else {
        ASSERT_TRUE(oneByOne.Set(entry.section, entry.key, entry.value));
      }
    }
    ProfileDocument batch(text);
    ASSERT_TRUE(batch.Apply(entries));
    ASSERT_EQ(batch.Text(), oneByOne.Text()) << "round " << round << " text:\n" << text;
  }
}

// The lookups of a snapshot come from an index: they must answer as the text's own lookup.
TEST(ProfileTest, SnapshotLookupsAnswerAsTheTextDoes) {
  const std::string text =
      "k=before\r\n[S]\r\nKey = first\r\nkey=second\r\n; Hidden=1\r\nQ=\"quoted\"\r\n"
      "[s]\r\nOther=later section\r\n[ T ]\r\n=empty name\r\nx=" +
      std::string(800, 'x');
  const ProfileDocument document(text);
  const auto snapshot = platform::ProfileSnapshot::FromText(text);
  for (const char* section : {"S", "s", " T ", "T", "none", ""}) {
    for (const char* key : {"key", "KEY", "Hidden", "Q", "Other", "", "x", "k"}) {
      const auto expected = document.Find(section, key);
      EXPECT_EQ(snapshot.GetString(section, key),
                expected ? expected->substr(0, 779) : std::string())
          << section << " " << key;
    }
  }
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
