// libFuzzer harness for the INI parser: any bytes as a profile file. Looks keys up, writes a key
// and checks that it then reads back, and that the write kept the text before the edited line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/profile/Profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::ProfileDocument document(text);
  (void)document.Find("EQ_UI", "BandNum");
  (void)document.Find("App_Status", "Is_Live");

  // Section and key names taken from the input itself reach the odd corners of the matcher.
  const std::string section = text.substr(0, size % 7);
  const std::string key = text.substr(size / 2, size % 5);
  if (document.Set(section, key, "value")) {
    const auto back = document.Find(section, key);
    if (!back || *back != "value") {
      std::abort();
    }
  }
  if (document.Set("MusicEQ", "MusicEQ_Index00", "MusicEQBand00")) {
    if (document.Find("musiceq", "musiceq_index00") != "MusicEQBand00") {
      std::abort();
    }
  }
  return 0;
}
