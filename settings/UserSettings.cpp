#include "settings/UserSettings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/fs/FileSystem.h"
#include "platform/profile/Profile.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"

namespace {

constexpr const char* kIndexMapSection = "MusicEQ";
constexpr const char* kPreampKey = "Preamp";

std::string BandKey(std::uint32_t index, const char* field) {
  return platform::FormatText("Band%.2d_%s", static_cast<int>(index), field);
}

// Reads the seven keys of stored band `n`; empty when any of them is missing or empty.
std::optional<EqBand> ReadBand(const platform::ProfileSnapshot& file, const std::string& section,
                               int n) {
  static constexpr const char* kFields[7] = {"Type",     "Enable",     "Gain",    "Qual",
                                             "CentFreq", "CutoffFreq", "StopFreq"};
  std::string values[7];
  for (int i = 0; i < 7; ++i) {
    values[i] = file.GetString(section, BandKey(static_cast<std::uint32_t>(n), kFields[i]));
    if (values[i].empty()) {
      return std::nullopt;
    }
  }
  EqBand band;
  band.type = static_cast<std::uint32_t>(platform::ParseDecimalInt(values[0]));
  band.enable = static_cast<std::uint32_t>(platform::ParseDecimalInt(values[1]));
  band.gain = platform::ParseDouble(values[2]);
  band.qual = platform::ParseDouble(values[3]);
  band.centFreq = platform::ParseDouble(values[4]);
  band.cutoffFreq = platform::ParseDouble(values[5]);
  band.stopFreq = platform::ParseDouble(values[6]);
  return band;
}

// Why a file gives no setup for an index. A file saved as UTF-16 reads as text full of zero
// bytes in which no key is found: it is named.
std::string NoSetupReason(const platform::ProfileSnapshot& file) {
  return file.Text().substr(0, 512).find('\0') != std::string::npos
             ? "the file holds no setup for this EQ index (it is saved as UTF-16 text; save it as "
               "UTF-8 or ANSI text)"
             : "the file holds no setup for this EQ index";
}

// The stored bands 0 to count - 1 that have all their keys, numbered anew from 0.
void ReadBands(const platform::ProfileSnapshot& file, const std::string& section, int count,
               EqBandTable& bandTable) {
  bandTable.clear();
  for (int n = 0; n < count; ++n) {
    if (auto band = ReadBand(file, section, n)) {
      band->index = static_cast<std::uint32_t>(bandTable.size());
      bandTable.push_back(*band);
    }
  }
}

// Absent (every file written before the preamp existed) means 0 dB. Any other value is kept as
// it reads, text without a number as not-a-number: the design names a preamp that is not a
// usable number and leaves it out, where taking it as 0 dB would hide it.
double ReadPreamp(const platform::ProfileSnapshot& file, const std::string& section) {
  const std::string preamp = file.GetString(section, kPreampKey);
  return preamp.empty()
             ? 0.0
             : platform::ParseNumber(preamp).value_or(std::numeric_limits<double>::quiet_NaN());
}

}  // namespace

std::string IndexMapKey(int eqIndex) {
  return platform::FormatText("%s_Index%.2d", "MusicEQ", eqIndex);
}

std::string BandSectionName(int eqIndex) {
  return platform::FormatText("%s%.2d", "MusicEQBand", eqIndex);
}

int LoadUserSettings(const std::string& path, int eqIndex, AppConfig& config,
                     EqBandTable& bandTable, SettingsLoadReport* report) {
  SettingsLoadReport found;
  auto fallBack = [&](SettingsLoadStatus status, std::string reason) {
    found.status = status;
    found.reason = std::move(reason);
    if (report != nullptr) {
      *report = found;
    }
    return ApplyDefaultSettings(config, bandTable);
  };
  if (!platform::PathExists(path)) {
    return fallBack(SettingsLoadStatus::Missing, "the file does not exist");
  }
  int error = 0;
  const auto file = platform::ProfileSnapshot::Load(path, &error);
  if (!file) {
    return fallBack(SettingsLoadStatus::Unreadable,
                    "the file cannot be read: " + platform::DescribeFileError(error));
  }
  const std::string noSetup = NoSetupReason(*file);
  const std::string section = file->GetString(kIndexMapSection, IndexMapKey(eqIndex));
  if (section.empty()) {
    return fallBack(SettingsLoadStatus::NoSetup, noSetup);
  }
  const std::string bandNum = file->GetString(section, "BandNum");
  if (bandNum.empty()) {
    return fallBack(SettingsLoadStatus::NoSetup, noSetup);
  }
  config.bandNum = platform::ParseDecimalInt(bandNum);
  if (config.bandNum > kMaxBandCount) {
    found.status = SettingsLoadStatus::TooManyBands;
    found.reason = platform::FormatText("its setup holds %d bands, more than the limit of %d",
                                        static_cast<int>(config.bandNum), kMaxBandCount);
  }
  const std::string sampleRate = file->GetString(section, "SampleRate");
  if (!sampleRate.empty()) {
    config.defaultSampleRate = platform::ParseDecimalInt(sampleRate);
  }

  ReadBands(*file, section, std::clamp(config.bandNum, 0, kMaxBandCount), bandTable);
  if (bandTable.empty()) {
    return fallBack(found.status == SettingsLoadStatus::TooManyBands ? found.status
                                                                     : SettingsLoadStatus::NoSetup,
                    found.status == SettingsLoadStatus::TooManyBands ? found.reason : noSetup);
  }
  bandTable.preampDb = ReadPreamp(*file, section);
  config.bandNum = static_cast<std::int32_t>(bandTable.size());
  if (report != nullptr) {
    *report = found;
  }
  return 1;
}

int SaveUserSettings(const std::string& path, int eqIndex, const AppConfig& config,
                     const EqBandTable& bandTable) {
  using platform::FormatFixed6;
  using platform::FormatText;
  if (bandTable.size() > static_cast<std::size_t>(kMaxBandCount)) {
    return 0;
  }
  const std::string section = BandSectionName(eqIndex);
  std::vector<platform::ProfileEntry> entries;
  entries.reserve(3 + 7 * bandTable.size());
  entries.push_back({kIndexMapSection, IndexMapKey(eqIndex), section});
  entries.push_back({section, "BandNum", FormatText("%d", static_cast<int>(bandTable.size()))});
  entries.push_back({section, "SampleRate", FormatText("%d", config.defaultSampleRate)});
  for (const EqBand& band : bandTable) {
    entries.push_back(
        {section, BandKey(band.index, "Type"), FormatText("%d", static_cast<int>(band.type))});
    entries.push_back(
        {section, BandKey(band.index, "Enable"), FormatText("%d", static_cast<int>(band.enable))});
    entries.push_back({section, BandKey(band.index, "Gain"), FormatFixed6(band.gain)});
    entries.push_back({section, BandKey(band.index, "Qual"), FormatFixed6(band.qual)});
    entries.push_back({section, BandKey(band.index, "CentFreq"), FormatFixed6(band.centFreq)});
    entries.push_back({section, BandKey(band.index, "CutoffFreq"), FormatFixed6(band.cutoffFreq)});
    entries.push_back({section, BandKey(band.index, "StopFreq"), FormatFixed6(band.stopFreq)});
  }
  // Written only when it does something, so that a setup without one keeps its file's bytes.
  if (bandTable.preampDb != 0.0) {
    entries.push_back({section, kPreampKey, FormatFixed6(bandTable.preampDb)});
  } else {
    entries.push_back({section, kPreampKey, {}, true});
  }
  return platform::ProfileWriteStrings(path, entries) ? 1 : 0;
}

int ApplyDefaultSettings(AppConfig& config, EqBandTable& bandTable) {
  bandTable.clear();
  bandTable.preampDb = 0.0;
  const int count = std::clamp(config.bandNum, 0, kMaxBandCount);
  config.bandNum = count;
  if (count == 0) {
    return 1;
  }
  const double fmin = config.minFreqValue;

  EqBand band;
  band.enable = 0;
  band.gain = config.defaultGain;
  band.qual = config.defaultQual;
  if (count == 1) {
    // No room for a frequency ratio: the table keeps its first band, the high-pass.
    band.type = ToCode(EqBandType::HighPass);
    band.cutoffFreq = fmin / kStopMargin + 1.0;
    band.stopFreq = fmin;
    bandTable.push_back(band);
    return 1;
  }

  const double fs = static_cast<double>(config.defaultSampleRate);
  const double ratio = std::exp(std::log(fs * 0.5 / fmin) / static_cast<double>(count - 1));
  bandTable.reserve(static_cast<std::size_t>(count));
  for (int position = 0; position < count; ++position) {
    const double frequency = std::pow(ratio, static_cast<double>(position)) * fmin;
    band.index = static_cast<std::uint32_t>(position);
    band.centFreq = 0.0;
    band.cutoffFreq = 0.0;
    band.stopFreq = 0.0;
    if (position == 0) {
      band.type = ToCode(EqBandType::HighPass);
      band.cutoffFreq = frequency / kStopMargin + 1.0;
      band.stopFreq = frequency;
    } else if (position == count - 1) {
      band.type = ToCode(EqBandType::LowPass);
      band.cutoffFreq = frequency * kStopMargin;
      band.stopFreq = frequency;
    } else {
      band.type = ToCode(EqBandType::Bell);
      band.centFreq = frequency;
    }
    bandTable.push_back(band);
  }
  return 1;
}
