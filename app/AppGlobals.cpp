#include "app/AppGlobals.h"

std::string g_exeName;
std::string g_exePath;
std::string g_configPath;
std::string g_windowModuleFolder;

CommandOptions g_cmdOptions;
AppConfig g_appConfig;
EqBandTable g_bandTable;
EqGraphParams g_graphParams;
CBQCalculator g_bqCalculator;
