#pragma once

#include <string_view>

/// Writes `text` unchanged to standard output, but only while console mode is on
/// (g_cmdOptions.consoleMode is 1). Every console message of the program goes through here.
void ConsoleLog(std::string_view text);
