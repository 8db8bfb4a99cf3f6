#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

/// Builds RIFF files byte by byte, so that a test shows every byte of its fixture.
class RiffBuilder {
 public:
  explicit RiffBuilder(std::string_view riff = "RIFF", std::string_view form = "WAVE")
      : m_riff(riff), m_form(form) {}

  /// Appends a chunk: id, size (the data's size unless given) and data; a pad byte follows an
  /// odd size unless `pad` is false.
  RiffBuilder& Chunk(std::string_view id, const std::vector<std::uint8_t>& data, bool pad = true,
                     std::int64_t statedSize = -1);
  /// Appends raw bytes between chunks (zero runs, garbage).
  RiffBuilder& Raw(const std::vector<std::uint8_t>& bytes);
  /// Overrides the RIFF size field.
  RiffBuilder& RiffSize(std::uint32_t size);
  std::vector<std::uint8_t> Build() const;

 private:
  std::string m_riff;
  std::string m_form;
  std::vector<std::uint8_t> m_body;
  std::int64_t m_riffSize = -1;
};

/// Little-endian field helpers for fixture bytes.
void Put16(std::vector<std::uint8_t>& out, std::uint32_t value);
void Put32(std::vector<std::uint8_t>& out, std::uint32_t value);
void PutText(std::vector<std::uint8_t>& out, std::string_view text);
/// The little-endian value at `at` of `bytes`.
std::uint16_t Le16At(std::string_view bytes, std::size_t at);
std::uint32_t Le32At(std::string_view bytes, std::size_t at);
/// Where the body of the first top-level chunk `id` of a RIFF file's `bytes` starts (a walk
/// over the sizes, an odd size followed by its pad byte); npos when there is none.
std::size_t ChunkBodyAt(std::string_view bytes, std::string_view id);

/// A 16-byte "fmt " body.
std::vector<std::uint8_t> FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                  std::uint16_t bits, std::uint16_t blockAlign = 0,
                                  std::uint32_t bytesPerSecond = 0);

/// The bytes of a string literal, NULs written in it included (not the one that ends it).
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

/// A complete PCM WAVE file with the given samples (bytes as stored).
std::vector<std::uint8_t> PcmWave(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                  const std::vector<std::uint8_t>& data);

/// Samples as little-endian 16-bit bytes.
std::vector<std::uint8_t> Pcm16Bytes(const std::vector<std::int16_t>& samples);

/// A "cue " body with points (id, position).
std::vector<std::uint8_t> CueBody(
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& points);

/// A "LIST" body of type "adtl" with labels (cue id, text) and labelled texts (cue id, length).
std::vector<std::uint8_t> AdtlBody(
    const std::vector<std::pair<std::uint32_t, std::string>>& labels,
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& texts = {});

}  // namespace testsupport
