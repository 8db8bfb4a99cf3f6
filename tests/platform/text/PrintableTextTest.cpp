#include "platform/text/PrintableText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::PrintableText;

// Control characters become escapes that a reader can tell from the name's other characters;
// everything else, a Windows path's backslashes and UTF-8 text included, is kept as it is.
TEST(PrintableTextTest, ControlCharactersAreEscapedAndEverythingElseKept) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"C:\\Takes\\voice.wav", "C:\\Takes\\voice.wav"},
      {"a\\nb.wav", "a\\nb.wav"},  // a backslash and an "n" stay what they are
      {"new\nline.wav", "new\\nline.wav"},
      {"tab\there\r.wav", "tab\\there\\r.wav"},
      {"\x1b[31mred.wav", "\\x1b[31mred.wav"},
      {std::string("nul\0.wav", 8), "nul\\x00.wav"},
      {"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
      {"next\xC2\x85line \xC2\x9B", "next\\u0085line \\u009b"},  // C1: NEL, CSI
      // "fächer/Stimme ü€日", a no-break space (U+00A0) and bytes that are not UTF-8
      {"f\xC3\xA4"
       "cher/Stimme \xC3\xBC\xE2\x82\xAC\xE6\x97\xA5",
       "f\xC3\xA4"
       "cher/Stimme \xC3\xBC\xE2\x82\xAC\xE6\x97\xA5"},
      {"\xC2\xA0\xFF\xFE", "\xC2\xA0\xFF\xFE"},
      {"end\xC2", "end\xC2"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintableText(c.text), c.shown) << c.shown;
  }
}

}  // namespace
