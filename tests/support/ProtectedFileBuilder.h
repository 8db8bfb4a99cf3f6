#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/cipher/EncryptPC1.h"

namespace testsupport {

/// Builds a protected wave file (".wio") of the current layout from the plain bytes of a wave
/// file, as the tool that makes such files does: "WENC", the name record, a record per pass
/// phrase (at most 32 bytes each) and the data record, each record's 8-byte header enciphered on
/// its own with the default key, then the data enciphered with the first pass phrase, or with
/// `emptyListKey` when the list is empty. The layout is written out here on its own, so that the
/// reader is checked against a second account of it.
std::vector<std::uint8_t> BuildProtectedFile(std::span<const std::uint8_t> plain,
                                             const std::vector<std::string>& passPhrases,
                                             const std::string& name,
                                             std::string_view emptyListKey = kWaveReaderPassPhrase);

}  // namespace testsupport
