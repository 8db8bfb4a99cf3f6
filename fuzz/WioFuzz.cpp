// libFuzzer harness for the protected-file reader: any bytes as a protected file in memory,
// deciphered with the wave reader's pass phrase; what comes out is then read as a WAVE file.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/cipher/EncryptNewPC1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  C_MemoryByteSource source(std::span<const std::uint8_t>(data, size));
  C_EncryptNewPC1 reader;
  C_StringByteSink plain;
  if (reader.DecryptStream(source, kWaveReaderPassPhrase, plain, nullptr) != kDecryptOk) {
    return 0;
  }
  const std::string& bytes = plain.Bytes();
  auto file = MakeRef<C_WavFile>();
  try {
    if (file->ReadHeaderFromMemory(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          bytes.size()),
            1) != 0) {
      (void)file->LoadSamples(1);
    }
  } catch (const std::runtime_error&) {
  }
  return 0;
}
