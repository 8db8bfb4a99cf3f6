#include "settings/AppConfig.h"

#include <string_view>

#include "platform/fs/FileSystem.h"
#include "platform/profile/Profile.h"
#include "platform/text/NumberText.h"
#include "settings/DefaultConfigResource.h"

namespace {

constexpr const char* kSectionConfiguration = "EQ_Configuration";
constexpr const char* kSectionUi = "EQ_UI";

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void ReadSampleRateList(const std::string& text, std::vector<std::uint32_t>& list) {
  std::string_view rest = text;
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    const std::string_view piece = TrimBlanks(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (piece.empty()) {
      continue;
    }
    if (const auto rate = platform::ParseUnsigned32(piece)) {
      list.push_back(*rate);
    }
  }
}

void ReadSingle(const platform::ProfileSnapshot& file, const char* section, const char* key,
                double& field) {
  const std::string text = file.GetString(section, key);
  if (text.empty()) {
    return;
  }
  if (const auto value = platform::ParseSingle(text)) {
    field = static_cast<double>(*value);
  }
}

void ReadUnsigned(const platform::ProfileSnapshot& file, const char* section, const char* key,
                  std::uint32_t& field) {
  const std::string text = file.GetString(section, key);
  if (text.empty()) {
    return;
  }
  if (const auto value = platform::ParseUnsigned32(text)) {
    field = *value;
  }
}

void ReadDouble(const platform::ProfileSnapshot& file, const char* section, const char* key,
                double& field) {
  const std::string text = file.GetString(section, key);
  if (!text.empty()) {
    field = platform::ParseDouble(text);
  }
}

// Reads every key of the configuration into `config`, in the documented order.
void ReadConfigValues(const platform::ProfileSnapshot& file, AppConfig& config) {
  config.bandNum = file.GetInt(kSectionUi, "BandNum", config.bandNum);
  config.defaultSampleRate =
      file.GetInt(kSectionConfiguration, "DefaultSampleRate", config.defaultSampleRate);

  const std::string rates = file.GetString(kSectionUi, "SampleRateList");
  if (!rates.empty()) {
    ReadSampleRateList(rates, config.sampleRateList);
  }

  ReadSingle(file, kSectionConfiguration, "DefaultQual", config.defaultQual);
  ReadSingle(file, kSectionConfiguration, "DefaultGain", config.defaultGain);
  ReadSingle(file, kSectionUi, "MinDbValue", config.minDbValue);
  ReadSingle(file, kSectionUi, "MaxDbValue", config.maxDbValue);
  ReadSingle(file, kSectionUi, "MinFreqValue", config.minFreqValue);

  ReadUnsigned(file, kSectionUi, "EQPainterHeight", config.eqPainterHeight);
  ReadUnsigned(file, kSectionUi, "BandEditMaxLen", config.bandEditMaxLen);

  ReadDouble(file, kSectionUi, "ControlFreqStep", config.controlFreqStep);
  ReadDouble(file, kSectionUi, "ControlDBStep", config.controlDBStep);
  ReadDouble(file, kSectionUi, "ControlQualStep", config.controlQualStep);
  ReadDouble(file, kSectionUi, "MinQualValue", config.minQualValue);
  ReadDouble(file, kSectionUi, "MaxQualValue", config.maxQualValue);
}

}  // namespace

int LoadAppConfig(const std::string& configPath, AppConfig& config) {
  config.sampleRateList.clear();
  if (!platform::PathExists(configPath)) {
    config.sampleRateList.assign(kBuiltInSampleRates.begin(), kBuiltInSampleRates.end());
    // An exclusive create never replaces a file another instance has just written; in that
    // case, as when the folder is not writable, the built-in values stay.
    if (!platform::CreateFileExclusive(configPath, DefaultConfigResource()) ||
        !platform::PathExists(configPath)) {
      return 0;
    }
    config.sampleRateList.clear();
  }
  const auto file = platform::ProfileSnapshot::Load(configPath);
  if (!file) {
    // Not a readable file (a folder, a device or FIFO, which is never opened, or no
    // permission): the built-in configuration, as for a file that cannot be created.
    config.sampleRateList.assign(kBuiltInSampleRates.begin(), kBuiltInSampleRates.end());
    return 0;
  }
  ReadConfigValues(*file, config);
  return 1;
}

AppConfig ShippedAppConfig() {
  AppConfig config;
  ReadConfigValues(platform::ProfileSnapshot::FromText(std::string(DefaultConfigResource())),
                   config);
  return config;
}
