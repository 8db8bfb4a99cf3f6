#include "LibProject/Audio/WaveFileUtil/cipher/EncryptPC1.h"

#include <cstdio>
#include <memory>

namespace {

// The multipliers of the PC1 round function.
constexpr unsigned kCarryMultiplier = 346;
constexpr unsigned kRoundMultiplier = 20021;

// Bytes deciphered between two reads of the source.
constexpr std::size_t kStreamBlock = 64 * 1024;

class FileSink final : public I_ByteSink {
 public:
  explicit FileSink(std::FILE* file) : m_file(file) {}
  bool Write(const void* data, std::size_t size) override {
    return size == 0 || std::fwrite(data, 1, size, m_file) == size;
  }

 private:
  std::FILE* m_file;
};

}  // namespace

void C_EncryptPC1::StartCipher(std::string_view passPhrase) {
  std::uint8_t spread = 0;
  for (char c : passPhrase) {
    spread = static_cast<std::uint8_t>(spread ^ static_cast<std::uint8_t>(c));
  }
  for (std::size_t i = 0; i < m_key.size(); ++i) {
    m_key[i] = static_cast<std::uint8_t>(kKeyDerivationTable[i] ^ spread);
  }
  m_carryWord = 0;
  m_roundSum = 0;
}

// One round: all arithmetic modulo 65536.
std::uint16_t C_EncryptPC1::Code(int i) {
  const unsigned a = m_roundWords[static_cast<std::size_t>(i)];
  const unsigned d = static_cast<std::uint16_t>(m_roundSum + i);
  const unsigned s = m_carryWord;
  m_carryWord = static_cast<std::uint16_t>(a * kCarryMultiplier);
  const auto c =
      static_cast<std::uint16_t>((d != 0 ? d * kRoundMultiplier : 0U) + a * kCarryMultiplier);
  m_roundSum = static_cast<std::uint16_t>(c + s);
  m_roundWords[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(a * kRoundMultiplier + 1);
  return static_cast<std::uint16_t>(m_roundWords[static_cast<std::size_t>(i)] ^
                                    static_cast<std::uint16_t>(s + c));
}

// The keystream word for the next byte, built from the key's eight 16-bit words; each key byte
// counts as a signed 8-bit number.
std::uint16_t C_EncryptPC1::Assemble() {
  auto keyWord = [this](std::size_t j) {
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): the cipher reads key bytes as signed
    const int high = static_cast<std::int8_t>(m_key[2 * j]);
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): a byte of 128 or more lowers the word
    const int low = static_cast<std::int8_t>(m_key[2 * j + 1]);
    return static_cast<std::uint16_t>(high * 256 + low);
  };
  m_roundWords[0] = keyWord(0);
  std::uint16_t r = Code(0);
  for (std::size_t i = 1; i < 8; ++i) {
    m_roundWords[i] = static_cast<std::uint16_t>(keyWord(i) ^ m_roundWords[i - 1]);
    r = static_cast<std::uint16_t>(r ^ Code(static_cast<int>(i)));
  }
  return r;
}

std::uint8_t C_EncryptPC1::DecipherByte(std::uint8_t cipherByte) {
  const std::uint16_t r = Assemble();
  const auto plain = static_cast<std::uint8_t>(cipherByte ^ (r >> 8) ^ (r & 0xFF));
  for (std::uint8_t& k : m_key) {
    k = static_cast<std::uint8_t>(k ^ plain);
  }
  return plain;
}

std::uint8_t C_EncryptPC1::EncipherByte(std::uint8_t plainByte) {
  const std::uint16_t r = Assemble();
  for (std::uint8_t& k : m_key) {
    k = static_cast<std::uint8_t>(k ^ plainByte);
  }
  return static_cast<std::uint8_t>(plainByte ^ (r >> 8) ^ (r & 0xFF));
}

bool C_EncryptPC1::ReadProtectedHeader(I_ByteSource& /*source*/, C_ProtectedHeader& /*header*/) {
  return false;  // the older layout is not read by this program
}

bool C_EncryptPC1::IsProtectedFile(const std::string& path, std::uint32_t* count,
                                   std::uint32_t* size) {
  const auto source = C_FileByteSource::Open(path);
  if (!source) {
    return true;  // so that the caller tries to decipher it and fails on opening
  }
  if (!ReadProtectedHeader(*source, m_header)) {
    return false;
  }
  std::uint32_t total = 2;
  for (const std::string& phrase : m_header.passPhrases) {
    total += static_cast<std::uint32_t>(phrase.size()) + 1;
  }
  if (count != nullptr) {
    *count = static_cast<std::uint32_t>(m_header.passPhrases.size());
  }
  if (size != nullptr) {
    *size = total;
  }
  return true;
}

int C_EncryptPC1::DecryptStream(I_ByteSource& source, std::string_view passPhrase, I_ByteSink& sink,
                                const DecryptProgress& progress) {
  if (!ReadProtectedHeader(source, m_header)) {
    return kDecryptBadHeader;
  }
  std::string dataKey(passPhrase);
  if (!m_header.passPhrases.empty()) {
    bool matched = false;
    for (const std::string& phrase : m_header.passPhrases) {
      matched = matched || phrase == passPhrase;
    }
    if (!matched) {
      return kDecryptWrongPassPhrase;
    }
    dataKey = m_header.passPhrases.front();
  }
  StartCipher(dataKey.empty() ? std::string_view(m_defaultPassPhrase) : std::string_view(dataKey));

  const std::uint64_t end = source.Size();
  const std::uint64_t total = end > m_header.dataOffset ? end - m_header.dataOffset : 0;
  std::vector<std::uint8_t> block(kStreamBlock);
  std::uint64_t done = 0;
  int reported = 0;
  for (std::uint64_t position = m_header.dataOffset; position < end;) {
    const std::size_t n = source.ReadAt(position, block.data(), block.size());
    if (n == 0) {
      break;
    }
    for (std::size_t i = 0; i < n; ++i) {
      block[i] = DecipherByte(block[i]);
    }
    if (!sink.Write(block.data(), n)) {
      return kDecryptCannotCreateOutput;
    }
    position += n;
    done += n;
    const int percent = static_cast<int>(done * 100 / total);
    if (progress && percent > reported) {
      reported = percent;
      progress(percent);
    }
  }
  if (progress) {
    progress(100);
  }
  return kDecryptOk;
}

int C_EncryptPC1::DecryptFile(const std::string& source, const std::string& output,
                              std::string_view passPhrase, const DecryptProgress& progress) {
  const auto input = C_FileByteSource::Open(source);
  if (!input) {
    return kDecryptCannotOpenSource;
  }
  if (!ReadProtectedHeader(*input, m_header)) {
    return kDecryptBadHeader;
  }
  std::FILE* out = platform::OpenFileForWriting(output);
  if (out == nullptr) {
    return kDecryptCannotCreateOutput;
  }
  FileSink sink(out);
  int code = DecryptStream(*input, passPhrase, sink, progress);
  if (std::fclose(out) != 0 && code == kDecryptOk) {
    code = kDecryptCannotCreateOutput;
  }
  return code;
}
