#pragma once

#include <cstdint>
#include <string>

/// Writes the liveness flag (key Is_Live of section App_Status) into the configuration file as
/// "%d". A failed write is ignored: the flag is advisory.
void WriteLiveFlag(const std::string& configPath, int value);

/// The liveness flag as read from the file.
struct LiveFlagReading {
  bool present = false;    ///< the key holds a non-empty text
  std::int32_t value = 0;  ///< its decimal value; 0 when missing, empty or not a number
};

/// Reads the liveness flag afresh from the file.
LiveFlagReading ReadLiveFlag(const std::string& configPath);
