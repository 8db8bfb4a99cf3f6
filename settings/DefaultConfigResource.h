#pragma once

#include <string_view>

/// The default configuration file built into the program (resource "CFG_FILE" 137): 398 bytes,
/// CR LF line breaks, no line break after the last line.
std::string_view DefaultConfigResource();
