#pragma once

#include <cstdint>
#include <string>

/// Flags and paths set by the command line. All zero or empty until the command line is parsed.
struct CommandOptions {
  std::int32_t consoleMode = 0;       ///< 1: console output on, window-less run (/h, /command)
  std::int32_t showHelp = 0;          ///< 1: print the help listing (/h)
  std::int32_t hasAccessSetting = 0;  ///< 1: a user settings file was named
  std::int32_t hasConvertSource = 0;  ///< 1: a conversion was requested
  std::int32_t eqIndex = 0;           ///< EQ index to load and save
  std::string accessSettingPath;      ///< user settings file
  std::string convertSourcePath;      ///< file to convert
  std::string convertOutputPath;      ///< output file; empty: derived from the source path
};
