#pragma once

#include <array>
#include <regex>
#include <string>
#include <vector>

#include "app/CommandOptions.h"
#include "platform/process/Console.h"
#include "settings/AppConfig.h"

/// The action of each command-line option, numbered as the option table lists them.
enum class OptionId : int {
  H = 1,                ///< /h: the help listing
  Command = 2,          ///< /command: console mode
  AccessSetting = 3,    ///< /access_setting: the settings file
  EqIndex = 4,          ///< /eq_index: the setup in that file
  ConvertSource = 5,    ///< /convert_source: a file, folder or pattern to convert (repeatable)
  ConvertOutput = 6,    ///< /convert_output: the output file
  CheckLive = 7,        ///< /checklive: the live flag's check
  OutputFolder = 8,     ///< /output_folder: where a batch's outputs go
  Recursive = 9,        ///< /recursive: subfolders too
  Jobs = 10,            ///< /jobs: the thread count
  KeepGoing = 11,       ///< /keep_going: on past a failed file
  Report = 12,          ///< /report: the JSON summary
  ImportPreset = 13,    ///< /import_preset
  ExportPreset = 14,    ///< /export_preset
  OpenRecording = 15,   ///< /open_recording: the window's recording
  Help = 16,            ///< --help: as /h
  Version = 17,         ///< /version
  Loudness = 18,        ///< /loudness: the output's loudness in a line
  Normalize = 19,       ///< /normalize: the output's integrated loudness, LUFS
  TruePeak = 20,        ///< /true_peak: the ceiling of the output's true peak, dBTP
  OutputRate = 21,      ///< /output_rate: the output's sample rate, Hz
  OutputChannels = 22,  ///< /output_channels: 1, a mix to mono
  OutputBits = 23,      ///< /output_bits: 16, 24, 32 or float
  Dither = 24,          ///< /dither: on or off where the depth is reduced
  Deliver = 25,         ///< /deliver: a named set of the above
};

/// One command-line option: its action id, name, pattern (ECMAScript, case-sensitive, matched
/// by search; the value is capture group 1), help line and example.
struct OptionRow {
  OptionId id;
  const char* name;
  const char* pattern;
  const char* description;
  const char* example;
};

/// The options, in the order they are tried and listed in the help.
extern const std::array<OptionRow, 25> g_optionTable;

/// Most threads /jobs may ask for.
inline constexpr unsigned kMaxJobs = 1024;

/// Turns the process arguments into CommandOptions. Lives only for one parse.
class CommandParser {
 public:
  /// `options` and `config` receive the parsed values (config only its checkLive flag);
  /// messages go to `log`, which writes only while console mode is on.
  CommandParser(CommandOptions& options, AppConfig& config, platform::LogSink log);
  virtual ~CommandParser() = default;

  /// Parses `args` (args[0] is the program). Returns 1 to go on, 0 to stop the program.
  int ParseCommandLine(const std::vector<std::string>& args);

  /// Performs the action of option `id` with the match of its pattern. 1 = accepted.
  int ValidateOption(OptionId id, const std::smatch& match);

  /// True when `value`, a /convert_source value, names an existing file or folder, or is a
  /// pattern with '*' or '?' in its file name that matches a file of its folder.
  static bool SourceExists(const std::string& value);

  /// The message of the last rejection (empty when nothing was rejected).
  const std::string& LastError() const { return m_lastError; }

 private:
  // Creates `directory` with every missing folder above it; 1 when it exists afterwards,
  // else 0 with the "Can't create directory" message.
  int EnsureFolder(const std::string& directory);
  // The same for the folder of the file `path` (a bare file name: the current folder).
  int EnsureParentFolder(const std::string& path);
  // The checks of the options whose values need more than storing; 1 = accepted.
  int AcceptConvertSource(const std::string& value);
  // The path fits and its folder exists or is made (/convert_output, /report, /export_preset).
  int AcceptOutputFile(const std::string& value);
  int AcceptJobs(const std::string& value);
  int AcceptOpenRecording(const std::string& value);
  // The delivery options: a number in its range, a depth, a switch, a named set.
  int AcceptLevel(OptionId id, const std::string& value);
  int AcceptOutputRate(const std::string& value);
  int AcceptOutputChannels(const std::string& value);
  int AcceptOutputBits(const std::string& value);
  int AcceptDither(const std::string& value);
  int AcceptDeliver(const std::string& value);
  void Report(const std::string& message);
  /// False, with a message, for a path beyond the limits a path has (platform::PathFitsLimit).
  bool PathFitsLimit(const std::string& path);

  CommandOptions& m_options;
  AppConfig& m_config;
  platform::LogSink m_log;
  std::string m_lastError;
};
