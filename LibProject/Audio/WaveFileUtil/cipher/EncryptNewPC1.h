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

  C_EncryptPC1 m_fallback;
};
