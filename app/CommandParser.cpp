#include "app/CommandParser.h"

#include <optional>
#include <utility>

#include "delivery/DeliverySettings.h"
#include "delivery/Resampler.h"

#include "platform/fs/FileSystem.h"
#include "platform/fs/FolderListing.h"
#include "platform/fs/PathUtil.h"
#include "platform/text/BoundedText.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"
#include "platform/text/PrintableText.h"

const std::array<OptionRow, 25> g_optionTable = {{
    {OptionId::H, "h", R"(^\s*[\-/]h\s*$)", "Open help information", "/h"},
    {OptionId::Command, "command", R"(^\s*[\-/]command\s*$)", "Run application using command mode",
     "/command"},
    {OptionId::AccessSetting, "access_setting", R"(^\s*[\-/]access_setting[=:](.*)\s*$)",
     "load user setting and set equalizer parameter", "/access_setting:\"C:\\UserSettings.cfg\""},
    {OptionId::EqIndex, "eq_index", R"(^\s*[\-/]eq_index[=:](.*)\s*$)",
     "Access configure to load every band parameter from equalizer index", "/eq_index:0"},
    {OptionId::ConvertSource, "convert_source", R"(^\s*[\-/]convert_source[=:](.*)\s*$)",
     "Convert the source file according the specified Equalizer parameter",
     "/convert_source:\"C:\\source_file.wav\""},
    {OptionId::ConvertOutput, "convert_output", R"(^\s*[\-/]convert_output[=:](.*)\s*$)",
     "Set the convert output path", "/convert_output:\"C:\\output_file.wav\""},
    {OptionId::CheckLive, "checklive", R"(^\s*[\-/]checklive[=:](.*)\s*$)",
     "Check live setting and close program if live valie is 0", "/checklive:1"},
    {OptionId::OutputFolder, "output_folder", R"(^\s*[\-/]output_folder[=:](.*)\s*$)",
     "Put the output files into this folder (the source folders' structure mirrored)",
     "/output_folder:\"C:\\filtered\""},
    {OptionId::Recursive, "recursive", R"(^\s*[\-/]recursive\s*$)",
     "Convert the audio files of source folders' subfolders too", "/recursive"},
    {OptionId::Jobs, "jobs", R"(^\s*[\-/]jobs[=:](.*)\s*$)",
     "Use at most this many threads in all (default: the processor count)", "/jobs:2"},
    {OptionId::KeepGoing, "keep_going", R"(^\s*[\-/]keep_going\s*$)",
     "Go on with the other files when a file fails to convert", "/keep_going"},
    {OptionId::Report, "report", R"(^\s*[\-/]report[=:](.*)\s*$)",
     "Write a JSON summary of the conversions to this file", "/report:\"C:\\report.json\""},
    {OptionId::ImportPreset, "import_preset", R"(^\s*[\-/]import_preset[=:](.*)\s*$)",
     "Import Equalizer APO, Room EQ Wizard or AutoEQ preset text into the equalizer index",
     "/import_preset:\"C:\\preset.txt\""},
    {OptionId::ExportPreset, "export_preset", R"(^\s*[\-/]export_preset[=:](.*)\s*$)",
     "Export the equalizer index as Equalizer APO preset text",
     "/export_preset:\"C:\\preset.txt\""},
    {OptionId::OpenRecording, "open_recording", R"(^\s*[\-/]open_recording[=:](.*)\s*$)",
     "Open the window with the spectrum of a recording under the response curve",
     "/open_recording:\"C:\\interview.wav\""},
    {OptionId::Help, "help", R"(^\s*(?:--|[\-/])help\s*$)", "Open help information, as /h does",
     "--help"},
    {OptionId::Version, "version", R"(^\s*(?:--|[\-/])version\s*$)",
     "Print the program's version and the commit it was built from", "/version"},
    {OptionId::Loudness, "loudness", R"(^\s*[\-/]loudness\s*$)",
     "Print each output's loudness, loudness range and true peak in a line", "/loudness"},
    {OptionId::Normalize, "normalize", R"(^\s*[\-/]normalize[=:](.*)\s*$)",
     "Bring each output to this integrated loudness in LUFS, -70 to 0 (true peak kept at most "
     "-1 dBTP unless /true_peak says otherwise)",
     "/normalize:-16"},
    {OptionId::TruePeak, "true_peak", R"(^\s*[\-/]true_peak[=:](.*)\s*$)",
     "Keep each output's true peak at or below this many dBTP, -60 to 0, by a lower gain",
     "/true_peak:-1"},
    {OptionId::OutputRate, "output_rate", R"(^\s*[\-/]output_rate[=:](.*)\s*$)",
     "Write the outputs at this sample rate, 8000 to 384000 Hz", "/output_rate:44100"},
    {OptionId::OutputChannels, "output_channels", R"(^\s*[\-/]output_channels[=:](.*)\s*$)",
     "Mix the outputs down to one channel, the average of the channels", "/output_channels:1"},
    {OptionId::OutputBits, "output_bits", R"(^\s*[\-/]output_bits[=:](.*)\s*$)",
     "Write the outputs as 16-, 24- or 32-bit integers or 32-bit floats: 16, 24, 32 or float",
     "/output_bits:16"},
    {OptionId::Dither, "dither", R"(^\s*[\-/]dither[=:](.*)\s*$)",
     "Dither where the depth is reduced (on, the default) or not (off)", "/dither:off"},
    {OptionId::Deliver, "deliver", R"(^\s*[\-/]deliver[=:](.*)\s*$)",
     "Deliver as a destination asks: podcast, broadcast, speech-recognition or archive (the "
     "options above override its values)",
     "/deliver:podcast"},
}};

namespace {

using platform::PrintableText;

// The patterns, compiled once for the process.
const std::vector<std::regex>& CompiledPatterns() {
  static const std::vector<std::regex> patterns = [] {
    std::vector<std::regex> compiled;
    compiled.reserve(g_optionTable.size());
    for (const OptionRow& row : g_optionTable) {
      compiled.emplace_back(row.pattern, std::regex::ECMAScript);
    }
    return compiled;
  }();
  return patterns;
}

}  // namespace

CommandParser::CommandParser(CommandOptions& options, AppConfig& config, platform::LogSink log)
    : m_options(options), m_config(config), m_log(std::move(log)) {}

void CommandParser::Report(const std::string& message) {
  m_lastError = message;
  m_log(message);
}

int CommandParser::ParseCommandLine(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    return 1;
  }
  m_options = CommandOptions{};
  int result = 1;
  const auto& patterns = CompiledPatterns();
  for (std::size_t a = 1; a < args.size(); ++a) {
    const std::string& argument = args[a];
    if (argument.empty()) {
      continue;
    }
    bool matched = false;
    for (std::size_t row = 0; row < g_optionTable.size(); ++row) {
      std::smatch match;
      if (std::regex_search(argument, match, patterns[row])) {
        matched = true;
        result = ValidateOption(g_optionTable[row].id, match);
      }
    }
    if (result == 0) {
      return 0;
    }
    if (!matched) {
      Report(
          platform::FormatText("%sCan't support the param: %s. Please use /h to show how to "
                               "use it.%s",
                               "Error:", PrintableText(argument).c_str(), "\r\n"));
      return 0;
    }
  }
  return result;
}

bool CommandParser::SourceExists(const std::string& value) {
  if (platform::PathExists(value)) {
    return true;
  }
  const std::string name = platform::FileNamePart(value);
  if (!platform::HasWildcard(name) ||
      platform::HasWildcard(value.substr(0, value.size() - name.size()))) {
    return false;  // wildcards stand only in the file name
  }
  const std::string folder = value.size() > name.size() ? platform::ParentFolder(value) : ".";
  const auto files = platform::ListFolderFiles(folder, false);
  if (!files) {
    return false;
  }
  for (const std::string& file : *files) {
    if (platform::MatchesWildcard(name, file)) {
      return true;
    }
  }
  return false;
}

int CommandParser::EnsureFolder(const std::string& directory) {
  if (!platform::DirectoryExists(directory)) {
    (void)platform::CreateDirectoryTree(directory);
  }
  if (!platform::DirectoryExists(directory)) {
    Report(platform::FormatText("%sCan't create directory(%s).%s",
                                "Error:", PrintableText(directory).c_str(), "\r\n"));
    return 0;
  }
  return 1;
}

int CommandParser::EnsureParentFolder(const std::string& path) {
  std::string directory;
  std::string name;
  std::string extension;
  const int split = platform::SplitPath(path, directory, name, extension);
  if (split == 1 && directory.empty()) {
    return 1;  // a bare file name: the current folder, which exists
  }
  return EnsureFolder(directory);
}

bool CommandParser::PathFitsLimit(const std::string& path) {
  if (platform::PathFitsLimit(path)) {
    return true;
  }
  // Said once, here, in words that name the limit; otherwise the path would fail later as a
  // file that cannot be opened or an output name that cannot be formed.
  Report(platform::FormatText("%sThe path is too long(%s): %s.%s",
                              "Error:", PrintableText(path).c_str(),
                              platform::PathLimitText().c_str(), "\r\n"));
  return false;
}

int CommandParser::ValidateOption(OptionId id, const std::smatch& match) {
  const std::string value = match.size() > 1 && match[1].matched ? match[1].str() : std::string();
  switch (id) {
    case OptionId::H:
    case OptionId::Help:
      m_options.consoleMode = 1;
      m_options.showHelp = 1;
      return 1;
    case OptionId::Command: m_options.consoleMode = 1; return 1;
    case OptionId::AccessSetting:
      m_options.accessSettingPath = value;
      m_options.hasAccessSetting = 1;
      return 1;
    case OptionId::EqIndex: m_options.eqIndex = platform::ParseDecimalInt(value); return 1;
    case OptionId::ConvertSource: return AcceptConvertSource(value);
    case OptionId::ConvertOutput:
      m_options.convertOutputPath = value;
      m_options.hasConvertOutput = true;
      return AcceptOutputFile(value);
    case OptionId::CheckLive:
      m_config.checkLive = platform::ParseDecimalInt(value) == 1 ? 1 : 0;
      return 1;
    case OptionId::OutputFolder:
      m_options.outputFolder = value;
      m_options.hasOutputFolder = true;
      return PathFitsLimit(value) ? EnsureFolder(value) : 0;
    case OptionId::Recursive: m_options.recursive = true; return 1;
    case OptionId::Jobs: return AcceptJobs(value);
    case OptionId::KeepGoing: m_options.keepGoing = true; return 1;
    case OptionId::Report:
      m_options.reportPath = value;
      m_options.hasReport = true;
      return AcceptOutputFile(value);
    case OptionId::ImportPreset:
      m_options.importPresetPath = value;
      m_options.hasImportPreset = true;
      return PathFitsLimit(value) ? 1 : 0;
    case OptionId::ExportPreset:
      m_options.exportPresetPath = value;
      m_options.hasExportPreset = true;
      return AcceptOutputFile(value);
    case OptionId::OpenRecording: return AcceptOpenRecording(value);
    case OptionId::Version:
      m_options.consoleMode = 1;
      m_options.showVersion = true;
      return 1;
    case OptionId::Loudness: m_options.sayLoudness = true; return 1;
    case OptionId::Normalize:
    case OptionId::TruePeak: return AcceptLevel(id, value);
    case OptionId::OutputRate: return AcceptOutputRate(value);
    case OptionId::OutputChannels: return AcceptOutputChannels(value);
    case OptionId::OutputBits: return AcceptOutputBits(value);
    case OptionId::Dither: return AcceptDither(value);
    case OptionId::Deliver: return AcceptDeliver(value);
  }
  return 1;
}

int CommandParser::AcceptConvertSource(const std::string& value) {
  m_options.hasConvertSource = 1;
  m_options.convertSourcePath = value;
  m_options.convertSources.push_back(value);
  if (!PathFitsLimit(value)) {
    return 0;
  }
  if (!SourceExists(value)) {
    Report(platform::FormatText("%sFile not exist(%s).%s", "Error:", PrintableText(value).c_str(),
                                "\r\n"));
    return 0;
  }
  return 1;
}

int CommandParser::AcceptOutputFile(const std::string& value) {
  if (!PathFitsLimit(value)) {
    return 0;
  }
  return EnsureParentFolder(value);
}

int CommandParser::AcceptJobs(const std::string& value) {
  const auto jobs = platform::ParseUnsigned32(value);
  if (!jobs || *jobs < 1 || *jobs > kMaxJobs) {
    Report(platform::FormatText("%sThe number of jobs must be a whole number from 1 to %u(%s).%s",
                                "Error:", kMaxJobs, PrintableText(value).c_str(), "\r\n"));
    return 0;
  }
  m_options.jobs = *jobs;
  return 1;
}

int CommandParser::AcceptOpenRecording(const std::string& value) {
  m_options.openRecordingPath = value;
  if (value.empty()) {
    return 1;  // none: a desktop launcher passes "/open_recording:" when it has no file
  }
  if (!PathFitsLimit(value)) {
    return 0;
  }
  if (!platform::PathExists(value)) {
    Report(platform::FormatText("%sFile not exist(%s).%s", "Error:", PrintableText(value).c_str(),
                                "\r\n"));
    return 0;
  }
  return 1;
}

namespace {

// A decimal number and nothing else (blanks around it allowed): "-16", "-23.5", "+0".
std::optional<double> WholeNumber(const std::string& value) {
  static const std::regex number(R"(\s*[+-]?(\d+(\.\d*)?|\.\d+)\s*)", std::regex::ECMAScript);
  if (!std::regex_match(value, number)) {
    return std::nullopt;
  }
  return platform::ParseNumber(value);
}

}  // namespace

int CommandParser::AcceptLevel(OptionId id, const std::string& value) {
  // A target below the gate could never be measured, one above full scale never reached; a
  // ceiling lower than -60 dBTP would silence speech rather than protect it.
  const bool target = id == OptionId::Normalize;
  const double lowest = target ? -70.0 : -60.0;
  const std::optional<double> level = WholeNumber(value);
  if (!level || *level < lowest || *level > 0.0) {
    Report(platform::FormatText("%s%s must be a number of %s from %d to 0(%s).%s",
                                "Error:", target ? "The loudness target" : "The true-peak ceiling",
                                target ? "LUFS" : "dBTP", static_cast<int>(lowest),
                                PrintableText(value).c_str(), "\r\n"));
    return 0;
  }
  (target ? m_options.delivery.targetLufs : m_options.delivery.ceilingDbtp) = *level;
  return 1;
}

int CommandParser::AcceptOutputRate(const std::string& value) {
  static const std::regex digits(R"(\s*\d+\s*)", std::regex::ECMAScript);
  const auto rate = std::regex_match(value, digits) ? platform::ParseUnsigned32(value)
                                                    : std::optional<std::uint32_t>();
  if (!rate || *rate < delivery::Resampler::kMinRate || *rate > delivery::Resampler::kMaxRate) {
    Report(
        platform::FormatText("%sThe output rate must be a whole number of Hz from %u to %u(%s).%s",
                             "Error:", delivery::Resampler::kMinRate, delivery::Resampler::kMaxRate,
                             PrintableText(value).c_str(), "\r\n"));
    return 0;
  }
  m_options.delivery.sampleRate = *rate;
  return 1;
}

int CommandParser::AcceptOutputChannels(const std::string& value) {
  if (WholeNumber(value) != 1.0) {
    Report(platform::FormatText("%sThe output can be mixed down to 1 channel only(%s).%s",
                                "Error:", PrintableText(value).c_str(), "\r\n"));
    return 0;
  }
  m_options.delivery.channels = 1;
  return 1;
}

int CommandParser::AcceptOutputBits(const std::string& value) {
  using delivery::SampleDepth;
  static const std::pair<const char*, SampleDepth> kDepths[] = {{"16", SampleDepth::Int16},
                                                                {"24", SampleDepth::Int24},
                                                                {"32", SampleDepth::Int32},
                                                                {"float", SampleDepth::Float32}};
  for (const auto& [name, depth] : kDepths) {
    if (value == name) {
      m_options.delivery.depth = depth;
      return 1;
    }
  }
  Report(platform::FormatText("%sThe output bits must be 16, 24, 32 or float(%s).%s",
                              "Error:", PrintableText(value).c_str(), "\r\n"));
  return 0;
}

int CommandParser::AcceptDither(const std::string& value) {
  if (value != "on" && value != "off") {
    Report(platform::FormatText("%sThe dither must be on or off(%s).%s",
                                "Error:", PrintableText(value).c_str(), "\r\n"));
    return 0;
  }
  m_options.delivery.dither = value == "on";
  return 1;
}

int CommandParser::AcceptDeliver(const std::string& value) {
  if (!delivery::FindNamedDelivery(value)) {
    std::string names;
    for (const delivery::NamedDelivery& named : delivery::NamedDeliveries()) {
      names += (names.empty() ? "" : ", ") + std::string(named.name);
    }
    Report(platform::FormatText("%sThere is no delivery of that name(%s): %s.%s",
                                "Error:", PrintableText(value).c_str(), names.c_str(), "\r\n"));
    return 0;
  }
  m_options.deliveryName = value;
  return 1;
}
