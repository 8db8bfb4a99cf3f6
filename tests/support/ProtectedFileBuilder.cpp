#include "tests/support/ProtectedFileBuilder.h"

namespace testsupport {
namespace {

// Record tags and limits of the protected-file layout.
constexpr std::uint16_t kTagName = 0x100;
constexpr std::uint16_t kTagDataSize = 0x101;
constexpr std::uint16_t kTagPassPhrase = 0x201;
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxPassPhraseBytes = 32;

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

}  // namespace

std::vector<std::uint8_t> BuildProtectedFile(std::span<const std::uint8_t> plain,
                                             const std::vector<std::string>& passPhrases,
                                             const std::string& name,
                                             std::string_view emptyListKey) {
  C_EncryptPC1 cipher;
  std::vector<std::uint8_t> out = {'W', 'E', 'N', 'C'};
  // Header records and their payloads are each enciphered from a fresh start of the default key.
  auto encipherFresh = [&cipher](std::vector<std::uint8_t> bytes) {
    cipher.StartCipher(kDefaultCipherKey);
    for (std::uint8_t& b : bytes) {
      b = cipher.EncipherByte(b);
    }
    return bytes;
  };
  auto record = [&](std::uint16_t tag, std::uint32_t length) {
    std::vector<std::uint8_t> words;
    const auto low = static_cast<std::uint16_t>(length);
    const auto high = static_cast<std::uint16_t>(length >> 16);
    PutWord(words, static_cast<std::uint16_t>(0U - tag - low - high));  // the words sum to 0
    PutWord(words, tag);
    PutWord(words, low);
    PutWord(words, high);
    const auto enciphered = encipherFresh(words);
    out.insert(out.end(), enciphered.begin(), enciphered.end());
  };
  const std::string storedName = name.substr(0, kMaxNameBytes);
  record(kTagName, static_cast<std::uint32_t>(storedName.size()));
  const auto nameBytes =
      encipherFresh(std::vector<std::uint8_t>(storedName.begin(), storedName.end()));
  out.insert(out.end(), nameBytes.begin(), nameBytes.end());
  for (const std::string& phrase : passPhrases) {
    const std::string stored = phrase.substr(0, kMaxPassPhraseBytes);
    record(kTagPassPhrase, static_cast<std::uint32_t>(stored.size()));
    PutWord(out, static_cast<std::uint16_t>(~stored.size() ^ kLengthMask));
    const auto phraseBytes = encipherFresh(std::vector<std::uint8_t>(stored.begin(), stored.end()));
    out.insert(out.end(), phraseBytes.begin(), phraseBytes.end());
  }
  record(kTagDataSize, static_cast<std::uint32_t>(plain.size()));
  cipher.StartCipher(passPhrases.empty()
                         ? emptyListKey
                         : std::string_view(passPhrases.front()).substr(0, kMaxPassPhraseBytes));
  for (const std::uint8_t b : plain) {
    out.push_back(cipher.EncipherByte(b));
  }
  return out;
}

}  // namespace testsupport
