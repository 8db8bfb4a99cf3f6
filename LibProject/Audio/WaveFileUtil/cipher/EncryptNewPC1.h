#pragma once

#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/cipher/EncryptPC1.h"

/// Reads protected wave files of the current layout: "WENC", then records each behind an
/// 8-byte header enciphered on its own, then the enciphered wave file. A path ending in ".wif"
/// whose header is not of this layout is handed to the older reader.
class C_EncryptNewPC1 : public C_EncryptPC1 {
 public:
  bool IsProtectedFile(const std::string& path, std::uint32_t* count, std::uint32_t* size) override;
  int DecryptFile(const std::string& source, const std::string& output, std::string_view passPhrase,
                  const DecryptProgress& progress) override;
  bool ReadProtectedHeader(I_ByteSource& source, C_ProtectedHeader& header) override;

 private:
  static bool HasWifExtension(const std::string& path);
  // Deciphers `n` bytes of one record with the default pass phrase, from the cipher's start.
  void DecipherRecord(std::uint8_t* data, std::size_t n);
  // Reads the body of one record of the header at `position` (moved past it) into `header`.
  // False when it cannot be read or its length is beyond its bound.
  bool ReadNameRecord(I_ByteSource& source, std::uint32_t length, std::uint64_t& position,
                      C_ProtectedHeader& header);
  bool ReadPassPhraseRecord(I_ByteSource& source, std::uint64_t& position,
                            C_ProtectedHeader& header);

  C_EncryptPC1 m_fallback;
};
