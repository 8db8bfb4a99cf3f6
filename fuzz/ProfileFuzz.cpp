// libFuzzer harness for the INI parser: any bytes as a profile file. Looks keys up, writes a key
// and checks that it then reads back, and that a batch of writes and removals gives the bytes of
// the same edits made one at a time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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

  // Names from the input again, written and removed as one batch and one by one.
  std::vector<platform::ProfileEntry> entries;
  for (std::size_t at = 0; at + 2 < size && entries.size() < 8; at += 1 + size / 9) {
    const std::size_t length = static_cast<std::size_t>(data[at]) % 4;
    entries.push_back({text.substr(at + 1, length), text.substr(at + 2, length / 2 + 1), "v",
                       (data[at] & 0x80) != 0});
  }
  platform::ProfileDocument oneByOne(text);
  bool stored = true;
  for (const platform::ProfileEntry& entry : entries) {
    if (entry.remove) {
      oneByOne.Remove(entry.section, entry.key);
    } else {
      stored = stored && oneByOne.Set(entry.section, entry.key, entry.value);
    }
  }
  platform::ProfileDocument batch(text);
  if (batch.Apply(entries) != stored) {
    std::abort();
  }
  if (stored && batch.Text() != oneByOne.Text()) {
    std::abort();
  }
  return 0;
}
