#include "LibProject/Audio/WaveFileUtil/cipher/EncryptNewPC1.h"

namespace {

constexpr std::uint16_t kTagName = 0x100;
constexpr std::uint16_t kTagDataSize = 0x101;
constexpr std::uint16_t kTagWord = 0x200;
constexpr std::uint16_t kTagPassPhrase = 0x201;
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxPassPhraseBytes = 32;

}  // namespace

bool C_EncryptNewPC1::HasWifExtension(const std::string& path) {
  return path.size() >= 4 && path.compare(path.size() - 4, 4, ".wif") == 0;
}

void C_EncryptNewPC1::DecipherRecord(std::uint8_t* data, std::size_t n) {
  StartCipher(m_defaultPassPhrase);
  for (std::size_t i = 0; i < n; ++i) {
    data[i] = DecipherByte(data[i]);
  }
}

bool C_EncryptNewPC1::ReadNameRecord(I_ByteSource& source, std::uint32_t length,
                                     std::uint64_t& position, C_ProtectedHeader& header) {
  std::uint8_t bytes[kMaxNameBytes];
  if (length > kMaxNameBytes || !source.ReadExact(position, bytes, length)) {
    return false;
  }
  DecipherRecord(bytes, length);
  header.name.assign(reinterpret_cast<const char*>(bytes), length);
  position += length;
  return true;
}

bool C_EncryptNewPC1::ReadPassPhraseRecord(I_ByteSource& source, std::uint64_t& position,
                                           C_ProtectedHeader& header) {
  std::uint8_t bytes[kMaxPassPhraseBytes];
  if (!source.ReadExact(position, bytes, 2)) {
    return false;
  }
  const auto entryLength = static_cast<std::uint16_t>(~(GetLE16(bytes) ^ kLengthMask));
  position += 2;
  if (entryLength > kMaxPassPhraseBytes || !source.ReadExact(position, bytes, entryLength)) {
    return false;
  }
  DecipherRecord(bytes, entryLength);
  header.passPhrases.emplace_back(reinterpret_cast<const char*>(bytes), entryLength);
  position += entryLength;
  return true;
}

bool C_EncryptNewPC1::ReadProtectedHeader(I_ByteSource& source, C_ProtectedHeader& header) {
  header = C_ProtectedHeader{};
  std::uint8_t magic[4];
  if (!source.ReadExact(0, magic, 4) || magic[0] != 'W' || magic[1] != 'E' || magic[2] != 'N' ||
      magic[3] != 'C') {
    return false;
  }
  // Each record is at least 8 bytes long, so the walk ends within the file's size.
  std::uint64_t position = 4;
  while (true) {
    std::uint8_t bytes[8];
    if (!source.ReadExact(position, bytes, 8)) {
      return false;
    }
    DecipherRecord(bytes, 8);
    const std::uint16_t check = GetLE16(bytes);
    const std::uint16_t tag = GetLE16(bytes + 2);
    const std::uint32_t length = GetLE32(bytes + 4);
    if (static_cast<std::uint16_t>(check + tag + GetLE16(bytes + 4) + GetLE16(bytes + 6)) != 0) {
      return false;
    }
    position += 8;
    bool read = true;
    switch (tag) {
      case kTagName: read = ReadNameRecord(source, length, position, header); break;
      case kTagWord:
        read = source.ReadExact(position, bytes, 2);
        position += 2;
        break;
      case kTagPassPhrase: read = ReadPassPhraseRecord(source, position, header); break;
      case kTagDataSize:
        header.plainSize = length;
        header.dataOffset = position;
        return true;
      default:
        position += length;
        read = position <= source.Size();
        break;
    }
    if (!read) {
      return false;
    }
  }
}

bool C_EncryptNewPC1::IsProtectedFile(const std::string& path, std::uint32_t* count,
                                      std::uint32_t* size) {
  const auto source = C_FileByteSource::Open(path);
  if (!source) {
    return true;
  }
  C_ProtectedHeader header;
  if (!ReadProtectedHeader(*source, header)) {
    return HasWifExtension(path) && m_fallback.IsProtectedFile(path, count, size);
  }
  return C_EncryptPC1::IsProtectedFile(path, count, size);
}

int C_EncryptNewPC1::DecryptFile(const std::string& source, const std::string& output,
                                 std::string_view passPhrase, const DecryptProgress& progress) {
  const int code = C_EncryptPC1::DecryptFile(source, output, passPhrase, progress);
  if (code == kDecryptBadHeader && HasWifExtension(source)) {
    return m_fallback.DecryptFile(source, output, passPhrase, progress);
  }
  return code;
}
