#include "app/ConsoleLog.h"

#include "app/AppGlobals.h"
#include "platform/process/Console.h"

void ConsoleLog(std::string_view text) {
  if (g_cmdOptions.consoleMode != 1) {
    return;
  }
  platform::WriteStandardOutput(text);
}
