#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

/// The pass phrase with which the wave reader always deciphers protected files.
inline constexpr std::string_view kWaveReaderPassPhrase = "QZK40731";
/// The pass phrase that enciphers the header records and their payloads.
inline constexpr std::string_view kDefaultCipherKey = "VeLoMaRiNdUsT";
/// The 16 key bytes a pass phrase's XOR is spread over.
inline constexpr std::array<std::uint8_t, 16> kKeyDerivationTable = {
    0x71, 0x8e, 0x24, 0xdb, 0x5f, 0xa0, 0xc6, 0x39, 0xe2, 0x1d, 0x93, 0x6c, 0x08, 0xf7, 0xb5, 0x4a};
/// Hides the length of a stored pass phrase.
inline constexpr std::uint16_t kLengthMask = 0x2D71;

/// Result codes of DecryptFile.
inline constexpr int kDecryptOk = 0;
inline constexpr int kDecryptCannotOpenSource = 1;
inline constexpr int kDecryptCannotCreateOutput = 2;
inline constexpr int kDecryptWrongPassPhrase = 4;
inline constexpr int kDecryptBadHeader = 6;

/// Told the percentage done while a file is deciphered.
using DecryptProgress = std::function<void(int percent)>;

/// Reading of protected wave files.
class I_Encrypt {
 public:
  virtual ~I_Encrypt() = default;
  /// True when `path` is a protected file (also when it cannot be opened); then `count` gets
  /// the number of pass phrases and `size` the sum of their lengths plus one each, plus 2.
  virtual bool IsProtectedFile(const std::string& path, std::uint32_t* count,
                               std::uint32_t* size) = 0;
  /// Deciphers `source` into the file `output` with `passPhrase`; one of the kDecrypt codes.
  virtual int DecryptFile(const std::string& source, const std::string& output,
                          std::string_view passPhrase, const DecryptProgress& progress) = 0;
};

/// The header of a protected file, as read.
struct C_ProtectedHeader {
  std::string name;                      ///< record 0x100
  std::vector<std::string> passPhrases;  ///< records 0x201, in order
  std::uint32_t plainSize = 0;           ///< record 0x101
  std::uint64_t dataOffset = 0;          ///< where the enciphered wave file starts
};

/// The PC1 stream cipher with a 128-bit key, over a header of enciphered records. This class
/// holds the cipher; the header layout it reads itself is an older one that is not supported
/// here, so it recognises no header.
class C_EncryptPC1 : public I_Encrypt {
 public:
  bool IsProtectedFile(const std::string& path, std::uint32_t* count, std::uint32_t* size) override;
  int DecryptFile(const std::string& source, const std::string& output, std::string_view passPhrase,
                  const DecryptProgress& progress) override;

  /// Deciphers the data of a protected file from `source` into `sink`; a kDecrypt code
  /// (without the file codes 1 and 2).
  int DecryptStream(I_ByteSource& source, std::string_view passPhrase, I_ByteSink& sink,
                    const DecryptProgress& progress);

  /// Reads the header; false when it is not a valid header of this class's layout.
  virtual bool ReadProtectedHeader(I_ByteSource& source, C_ProtectedHeader& header);

  /// Derives the key from `passPhrase` and restarts the cipher.
  void StartCipher(std::string_view passPhrase);
  /// Deciphers one byte; the key then moves on with the plain byte.
  std::uint8_t DecipherByte(std::uint8_t cipherByte);
  /// Enciphers one byte: the mirror of DecipherByte.
  std::uint8_t EncipherByte(std::uint8_t plainByte);
  /// The current 16-byte key.
  const std::array<std::uint8_t, 16>& Key() const { return m_key; }

 protected:
  /// The header last read.
  C_ProtectedHeader m_header;
  /// Enciphers the header records and their payloads.
  std::string m_defaultPassPhrase{kDefaultCipherKey};

 private:
  std::uint16_t Code(int i);
  std::uint16_t Assemble();

  std::array<std::uint8_t, 16> m_key{};
  std::uint16_t m_carryWord = 0;
  std::uint16_t m_roundSum = 0;
  std::array<std::uint16_t, 8> m_roundWords{};
};
