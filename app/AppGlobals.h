#pragma once

#include <string>

#include "app/CommandOptions.h"
#include "eq/band/EqBand.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"

// The process-wide objects. Only the application shell and the window read them; they pass
// what the other layers need down as arguments.

extern std::string g_exeName;     ///< file-name part of the executable's path
extern std::string g_exePath;     ///< full path of the executable
extern std::string g_configPath;  ///< tonvale.ini beside the executable, or in the XDG folder
/// The folder the window module is loaded from: the executable's, or an installation's library
/// folder (platform/process/ProgramLayout.h says which).
extern std::string g_windowModuleFolder;

extern CommandOptions g_cmdOptions;   ///< set once by the command line
extern AppConfig g_appConfig;         ///< the configuration record
extern EqBandTable g_bandTable;       ///< the band table
extern EqGraphParams g_graphParams;   ///< what the response graph shows
extern CBQCalculator g_bqCalculator;  ///< the response calculator of the graph
