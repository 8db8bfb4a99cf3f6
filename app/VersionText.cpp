#include "app/VersionText.h"

#include "app/BuildInfo.h"
#include "platform/text/FormatText.h"

std::string VersionText() {
  return platform::FormatText("tonvale %s\r\ncommit %s\r\n", kTonvaleVersion, kTonvaleBuildCommit);
}
