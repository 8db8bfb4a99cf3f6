#include "settings/LiveFlag.h"

#include "platform/profile/Profile.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"

void WriteLiveFlag(const std::string& configPath, int value) {
  (void)platform::ProfileWriteString(configPath, "App_Status", "Is_Live",
                                     platform::FormatText("%d", value));
}

LiveFlagReading ReadLiveFlag(const std::string& configPath) {
  const std::string text = platform::ProfileGetString(configPath, "App_Status", "Is_Live");
  LiveFlagReading reading;
  reading.present = !text.empty();
  reading.value = platform::ParseDecimalInt(text);
  return reading;
}
