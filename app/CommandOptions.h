#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "delivery/DeliverySettings.h"

/// Flags and paths set by the command line. All zero or empty until the command line is parsed.
struct CommandOptions {
  std::int32_t consoleMode = 0;       ///< 1: console output on, window-less run (/h, /command, ...)
  std::int32_t showHelp = 0;          ///< 1: print the help listing (/h, --help)
  bool showVersion = false;           ///< print the version and the commit (/version)
  std::int32_t hasAccessSetting = 0;  ///< 1: a user settings file was named
  std::int32_t hasConvertSource = 0;  ///< 1: a conversion was requested
  std::int32_t eqIndex = 0;           ///< EQ index to load and save
  std::string accessSettingPath;      ///< user settings file
  std::string convertSourcePath;      ///< file to convert
  std::string convertOutputPath;      ///< output file; empty: derived from the source path
  bool hasConvertOutput = false;      ///< /convert_output was given
  std::vector<std::string> convertSources;  ///< every /convert_source value, in order
  bool hasOutputFolder = false;             ///< the outputs go into outputFolder
  std::string outputFolder;                 ///< folder of a batch's outputs
  bool recursive = false;                   ///< folder sources include their subfolders
  bool keepGoing = false;                   ///< a batch goes on past a failing file
  std::uint32_t jobs = 0;                   ///< threads in all; 0: the processor count
  bool hasReport = false;                   ///< a JSON summary is written to reportPath
  std::string reportPath;                   ///< the JSON summary's file
  bool hasImportPreset = false;             ///< preset text is imported into the EQ index
  std::string importPresetPath;             ///< the preset text to import
  bool hasExportPreset = false;             ///< the EQ index is exported as preset text
  std::string exportPresetPath;             ///< the preset text file to write
  std::string openRecordingPath;  ///< a recording the window shows the spectrum of; empty: none
  bool sayLoudness = false;       ///< /loudness: each output's loudness in a line
  /// The delivery values given one by one (/normalize, /true_peak, /output_rate,
  /// /output_channels, /output_bits, /dither); they override the named set's
  delivery::DeliverySettings delivery{};
  std::string deliveryName;  ///< /deliver: the named set; empty: none
};
