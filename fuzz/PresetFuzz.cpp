// libFuzzer harness for the preset reader: any bytes as preset text. Every band it makes has a
// known type and its place as index; what it reads is written out and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "preset/PresetText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PresetImport read =
      ReadPresetText(std::string_view(reinterpret_cast<const char*>(data), size));
  for (std::size_t i = 0; i < read.table.size(); ++i) {
    const EqBand& band = read.table[i];
    if (band.index != i || !(IsSingleSectionType(band.type) || IsPassType(band.type))) {
      std::abort();
    }
  }
  const PresetImport again = ReadPresetText(WritePresetText(read.table));
  if (again.table.size() > read.table.size()) {
    std::abort();  // a written band never reads back as two
  }
  return 0;
}
