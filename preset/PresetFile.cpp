#include "preset/PresetFile.h"

#include <string>
#include <utility>
#include <vector>

#include "eq/design/FilterChain.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/FileError.h"
#include "platform/fs/FileOpen.h"
#include "preset/PresetText.h"

PresetFileImport ImportPresetFile(const std::string& path, double sampleRate) {
  PresetFileImport result;
  int error = 0;
  const auto text = platform::ReadFileBytes(path, &error);
  if (!text) {
    result.outcome = PresetFileImport::Outcome::Unreadable;
    result.error = platform::DescribeFileError(error);
    return result;
  }
  PresetImport preset = ReadPresetText(*text);
  result.notes = std::move(preset.notes);
  result.error = DescribeImportRefusal(preset);
  if (!result.error.empty()) {
    result.outcome = PresetFileImport::Outcome::Refused;
    return result;
  }
  result.outcome = PresetFileImport::Outcome::Imported;
  result.table = std::move(preset.table);
  FilterChain chain;
  std::vector<BandSkip> skipped;
  DesignBandFilters(result.table, chain, sampleRate, &skipped);
  for (const BandSkip& skip : skipped) {
    result.bandNotes.push_back(DescribeBandSkip(skip, sampleRate));
  }
  return result;
}

PresetFileExport ExportPresetFile(const std::string& path, const EqBandTable& table) {
  PresetFileExport result;
  const std::string text = WritePresetText(table, &result.notes);
  int error = 0;
  result.written = platform::ReplaceFileAtomically(path, text, &error);
  if (!result.written) {
    result.error = platform::DescribeFileError(error);
  }
  return result;
}
