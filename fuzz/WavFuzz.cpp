// libFuzzer harness for the RIFF/WAVE reader and writer: any bytes as a WAVE file in memory.
// Reads the header and samples, writes the container back and checks that what was written
// reads again with the same sample bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto file = MakeRef<C_WavFile>();
  try {
    if (file->ReadHeaderFromMemory(std::span<const std::uint8_t>(data, size), 1) == 0 ||
        file->LoadSamples(1) == 0) {
      return 0;
    }
  } catch (const std::runtime_error&) {
    return 0;  // an unsupported encoding, reported with its message
  }
  I_WavData& container = *file->GetWavData();
  StringByteSink sink;
  if (container.GetDataLength() == 0 || file->WriteTo(sink) == 0) {
    return 0;
  }
  const std::string& written = sink.Bytes();
  auto again = MakeRef<C_WavFile>();
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(written.data()),
                                            written.size());
  if (again->ReadHeaderFromMemory(bytes, 1) == 0 || again->LoadSamples(1) == 0) {
    std::abort();  // a file we wrote must read back
  }
  I_WavData& back = *again->GetWavData();
  const bool twelveBit = container.GetWavInfo()->GetBitsPerSample() == 12;
  if (!twelveBit &&
      (back.GetDataLength() != container.GetDataLength() ||
       std::memcmp(back.GetBuffer(), container.GetBuffer(), back.GetDataLength()) != 0)) {
    std::abort();
  }
  return 0;
}
