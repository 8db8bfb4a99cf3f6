#include "ui/InteractiveMode.h"

#include "platform/process/Console.h"

DialogResult RunInteractiveMode(int& /*argc*/, char** /*argv*/,
                                const InteractiveContext& /*context*/) {
  platform::WriteStandardError(
      "tonvale: this build has no window (configured with -DTONVALE_GUI=OFF).\n"
      "Use /command to convert a file or /h to list the options.\n");
  return DialogResult::NoWindow;
}
