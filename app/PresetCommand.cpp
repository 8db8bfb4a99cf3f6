#include "app/PresetCommand.h"

#include <string>
#include <vector>

#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"
#include "preset/PresetFile.h"
#include "settings/UserSettings.h"

namespace {

using platform::FormatText;
using platform::PrintableText;

constexpr const char* kInfo = "Information:";
constexpr const char* kError = "Error:";
constexpr const char* kEnd = "\r\n";

int Finish(const char* what, int result, const platform::LogSink& log) {
  log(FormatText("%s%s:Result:%d%s", "Terminated:", what, result, kEnd));
  return result;
}

}  // namespace

int RunImportPreset(const CommandOptions& options, AppConfig& config, EqBandTable& bandTable,
                    const platform::LogSink& log) {
  const std::string shown = PrintableText(options.importPresetPath);
  const std::string settingsShown = PrintableText(options.accessSettingPath);
  log(FormatText("%sImport the preset(%s).%s", kInfo, shown.c_str(), kEnd));
  // What the bands do at the sample rate the window opens with: a band that does nothing
  // there is named, as a conversion names it.
  const PresetFileImport preset =
      ImportPresetFile(options.importPresetPath, static_cast<double>(config.defaultSampleRate));
  if (preset.outcome == PresetFileImport::Outcome::Unreadable) {
    log(FormatText("%sCan't read the preset file(%s): %s.%s", kError, shown.c_str(),
                   preset.error.c_str(), kEnd));
    return Finish("ImportPreset", 0, log);
  }
  for (const std::string& note : preset.notes) {
    log(FormatText("%s%s%s", kInfo, PrintableText(note).c_str(), kEnd));
  }
  if (preset.outcome == PresetFileImport::Outcome::Refused) {
    log(FormatText("%s%s(%s).%s", kError, preset.error.c_str(), shown.c_str(), kEnd));
    return Finish("ImportPreset", 0, log);
  }
  for (const std::string& note : preset.bandNotes) {
    log(FormatText("%s%s%s", kInfo, note.c_str(), kEnd));
  }
  AppConfig saved = config;
  saved.bandNum = static_cast<std::int32_t>(preset.table.size());
  if (SaveUserSettings(options.accessSettingPath, options.eqIndex, saved, preset.table) != 1) {
    log(FormatText("%sCan't write the settings file(%s).%s", kError, settingsShown.c_str(), kEnd));
    return Finish("ImportPreset", 0, log);
  }
  config = saved;
  bandTable = preset.table;
  log(FormatText("%sImported %d filters into EQ index %d of the settings file(%s).%s", kInfo,
                 static_cast<int>(bandTable.size()), options.eqIndex, settingsShown.c_str(), kEnd));
  return Finish("ImportPreset", 1, log);
}

int RunExportPreset(const CommandOptions& options, const EqBandTable& bandTable, bool loaded,
                    const std::string& reason, const platform::LogSink& log) {
  const std::string shown = PrintableText(options.exportPresetPath);
  if (!loaded) {
    log(FormatText("%sCan't load EQ index %d from the settings file(%s): %s.%s", kError,
                   options.eqIndex, PrintableText(options.accessSettingPath).c_str(),
                   reason.c_str(), kEnd));
    return Finish("ExportPreset", 0, log);
  }
  log(FormatText("%sExport EQ index %d to the preset file(%s).%s", kInfo, options.eqIndex,
                 shown.c_str(), kEnd));
  const PresetFileExport exported = ExportPresetFile(options.exportPresetPath, bandTable);
  for (const std::string& note : exported.notes) {
    log(FormatText("%s%s%s", kInfo, PrintableText(note).c_str(), kEnd));
  }
  if (!exported.written) {
    log(FormatText("%sCan't write the preset file(%s): %s.%s", kError, shown.c_str(),
                   exported.error.c_str(), kEnd));
    return Finish("ExportPreset", 0, log);
  }
  return Finish("ExportPreset", 1, log);
}
