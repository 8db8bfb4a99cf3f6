#include "platform/text/PrintableText.h"

namespace platform {
namespace {

void AppendHex(std::string& out, unsigned char byte) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    // A C1 control is U+0080 to U+009F, in UTF-8 the lead byte 0xC2 and a second of 0x80 to 0x9F.
    const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                    (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
    if (c1) {
      out += "\\u00";
      AppendHex(out, static_cast<unsigned char>(text[++i]));
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      AppendHex(out, byte);
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace platform
