#include "app/StartupWarning.h"

#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

std::string StartupWarning(const SettingsLoadReport& settings, int eqIndex,
                           const std::string& path) {
  if (settings.status != SettingsLoadStatus::TooManyBands) {
    return {};
  }
  return platform::FormatText(
      "EQ index %d of the settings file(%s) cannot be edited as it is stored: %s. The window "
      "shows the bands it could take; OK would save those in place of the stored setup, Cancel "
      "leaves the file as it is.",
      eqIndex, platform::PrintableText(path).c_str(), settings.reason.c_str());
}
