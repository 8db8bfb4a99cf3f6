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

bool C_EncryptNewPC1::ReadProtectedHeader(I_ByteSource& source, C_ProtectedHeader& header) {
  header = C_ProtectedHeader{};
  std::uint8_t magic[4];
  if (!source.ReadExact(0, magic, 4) || magic[0] != 'W' || magic[1] != 'E' || magic[2] != 'N' ||
      magic[3] != 'C') {
    return false;
  }
  // Each record is at least 8 bytes long, so the walk ends within the file's size.
  std::uint64_t position = 4;
  std::uint8_t bytes[256];
  auto decipher = [this](std::uint8_t* data, std::size_t n) {
    StartCipher(m_defaultPassPhrase);
    for (std::size_t i = 0; i < n; ++i) {
      data[i] = DecipherByte(data[i]);
    }
  };
  while (true) {
    if (!source.ReadExact(position, bytes, 8)) {
      return false;
    }
    decipher(bytes, 8);
    const std::uint16_t check = GetLE16(bytes);
    const std::uint16_t tag = GetLE16(bytes + 2);
    const std::uint32_t length = GetLE32(bytes + 4);
    if (static_cast<std::uint16_t>(check + tag + GetLE16(bytes + 4) + GetLE16(bytes + 6)) != 0) {
      return false;
    }
    position += 8;
    switch (tag) {
      case kTagName:
        if (length > kMaxNameBytes || !source.ReadExact(position, bytes, length)) {
          return false;
        }
        decipher(bytes, length);
        header.name.assign(reinterpret_cast<const char*>(bytes), length);
        position += length;
        break;
      case kTagWord:
        if (!source.ReadExact(position, bytes, 2)) {
          return false;
        }
        position += 2;
        break;
      case kTagPassPhrase: {
        if (!source.ReadExact(position, bytes, 2)) {
          return false;
        }
        const auto entryLength = static_cast<std::uint16_t>(~(GetLE16(bytes) ^ kLengthMask));
        position += 2;
        if (entryLength > kMaxPassPhraseBytes || !source.ReadExact(position, bytes, entryLength)) {
          return false;
        }
        decipher(bytes, entryLength);
        header.passPhrases.emplace_back(reinterpret_cast<const char*>(bytes), entryLength);
        position += entryLength;
        break;
      }
      case kTagDataSize:
        header.plainSize = length;
        header.dataOffset = position;
        return true;
      default:
        position += length;
        if (position > source.Size()) {
          return false;
        }
        break;
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
