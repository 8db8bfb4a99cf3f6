#pragma once

#include <string>

#include "settings/UserSettings.h"

/// What the window says as it opens about the setup it was given to edit: empty when EQ index
/// `eqIndex` of the settings file `path` loaded as stored, or held nothing to lose; otherwise
/// the words that tell the user that OK would not save back what the file holds (a setup of more
/// bands than the limit, of which the window shows only the first), so that nothing is dropped
/// unsaid.
std::string StartupWarning(const SettingsLoadReport& settings, int eqIndex,
                           const std::string& path);
