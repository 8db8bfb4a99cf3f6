// The files installed for the desktop against what they describe: the manual page and the bash
// completion name every option of the option table, and the menu entry offers the program for
// every file type it reads, with the types as the shared MIME database (an outside source)
// names them.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "app/CommandParser.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;

const std::string kLinuxFiles = LINUX_FILES_DIR;

std::set<std::string> Words(const std::string& text) {
  std::istringstream stream(text);
  return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

// The lines that head the items of the manual page (those after ".TP"), as a reader sees them:
// "\-" is a hyphen.
std::vector<std::string> ManualItems() {
  std::istringstream page(
      std::regex_replace(ReadFile(kLinuxFiles + "/tonvale.1.in"), std::regex(R"(\\-)"), "-"));
  std::vector<std::string> items;
  bool next = false;
  for (std::string line; std::getline(page, line);) {
    if (next) {
      items.push_back(line);
    }
    next = line == ".TP";
  }
  return items;
}

// True when `spelling` stands in `line` as a whole option ("/h" is not the start of "/help").
bool NamesOption(const std::string& line, const std::string& spelling) {
  for (auto at = line.find(spelling); at != std::string::npos; at = line.find(spelling, at + 1)) {
    const auto end = at + spelling.size();
    if (end == line.size() ||
        std::string("abcdefghijklmnopqrstuvwxyz_").find(line[end]) == std::string::npos) {
      return true;
    }
  }
  return false;
}

TEST(DesktopFilesTest, ManualPageAndCompletionNameEveryOptionOfTheTable) {
  const std::vector<std::string> items = ManualItems();
  const std::string script = ReadFile(kLinuxFiles + "/tonvale.bash-completion");
  std::smatch flags;
  std::smatch valued;
  ASSERT_TRUE(std::regex_search(script, flags, std::regex("flags=\"([^\"]*)\"")));
  ASSERT_TRUE(std::regex_search(script, valued, std::regex("valued=\"([^\"]*)\"")));
  const std::set<std::string> completedFlags = Words(flags[1]);
  const std::set<std::string> completedValued = Words(valued[1]);

  for (const OptionRow& row : g_optionTable) {
    // As a command line writes it: the example up to its value ("/jobs:", "--help").
    const std::string example = row.example;
    const bool takesValue = std::string(row.pattern).find("[=:]") != std::string::npos;
    const std::string spelling = example.substr(0, example.find(':')) + (takesValue ? ":" : "");
    bool listed = false;
    for (const std::string& item : items) {
      listed = listed || NamesOption(item, spelling);
    }
    EXPECT_TRUE(listed) << spelling << " has no item in the manual page";
    EXPECT_EQ((takesValue ? completedValued : completedFlags).count(row.name), 1U)
        << row.name << " is not completed as an option " << (takesValue ? "with" : "without")
        << " a value";
  }
  EXPECT_EQ(completedFlags.size() + completedValued.size(), g_optionTable.size())
      << "the completion offers an option the program does not have";
}

// The MIME types whose glob is "*" + `extension`: in the database's glob list ("weight:type:
// glob[:flags]" lines) and in our own MIME package.
std::set<std::string> TypesOfExtension(const std::string& extension, const std::string& globs,
                                       const std::string& ours) {
  std::set<std::string> types;
  std::istringstream lines(globs);
  const std::regex globLine(R"(\d+:([^:]+):\*(\.[^:]+)(:.*)?)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, globLine) && m[2] == extension) {
      types.insert(m[1]);
    }
  }
  // Each type of the package ends with "</mime-type>".
  const std::regex typeName(R"re(<mime-type type="([^"]+)">)re");
  for (std::size_t from = 0, to; (to = ours.find("</mime-type>", from)) != std::string::npos;
       from = to + 1) {
    const std::string definition = ours.substr(from, to - from);
    std::smatch m;
    if (std::regex_search(definition, m, typeName) &&
        definition.find("<glob pattern=\"*" + extension + "\"/>") != std::string::npos) {
      types.insert(m[1]);
    }
  }
  return types;
}

TEST(DesktopFilesTest, MenuEntryOffersTheProgramEveryFileTypeItReads) {
  const std::string database = "/usr/share/mime/";
  if (!std::filesystem::exists(database + "globs2")) {
    GTEST_SKIP() << "no shared MIME database here (Debian package shared-mime-info)";
  }
  const std::string globs = ReadFile(database + "globs2");
  const std::set<std::string> known =
      Words(ReadFile(database + "types") + "\n" + ReadFile(database + "aliases"));
  const std::string ours = ReadFile(kLinuxFiles + "/tonvale-mime.xml");

  std::smatch line;
  const std::string entry = ReadFile(kLinuxFiles + "/tonvale.desktop");
  ASSERT_TRUE(std::regex_search(entry, line, std::regex(R"(\nMimeType=([^\n]*))")));
  std::set<std::string> offered;
  std::istringstream list(line[1].str());
  for (std::string type; std::getline(list, type, ';');) {
    offered.insert(type);
    EXPECT_TRUE(known.count(type) == 1 || ours.find("type=\"" + type + "\"") != std::string::npos)
        << type << " is neither in the database nor defined by our MIME package";
  }

  for (const std::string& extension : ReadableFileExtensions()) {
    const std::set<std::string> types = TypesOfExtension(extension, globs, ours);
    bool found = false;
    for (const std::string& type : types) {
      found = found || offered.count(type) == 1;
    }
    EXPECT_TRUE(found) << extension << " files are not offered to the program";
  }
}

}  // namespace
