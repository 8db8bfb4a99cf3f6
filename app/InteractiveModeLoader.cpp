// The interactive mode of a build with a window: the window lives in a module beside the
// program (in an installed program's library folder), loaded only now (see ui/WindowModule.cpp).
#include <string>

#include "app/AppGlobals.h"
#include "platform/process/Console.h"
#include "platform/process/SharedModule.h"
#include "platform/text/FormatText.h"
#include "ui/InteractiveMode.h"

DialogResult RunInteractiveMode(int& argc, char** argv, const InteractiveContext& context) {
#if defined(_WIN32)
  const char* separator = "\\";
#else
  const char* separator = "/";
#endif
  const std::string& folder = g_windowModuleFolder;
  const std::string path = folder.empty() ? std::string(TONVALE_WINDOW_MODULE)
                                          : folder + separator + TONVALE_WINDOW_MODULE;
  std::string error;
  void* entry = platform::LoadModuleFunction(path, kWindowEntryName, error);
  if (entry == nullptr) {
    platform::WriteStandardError(
        platform::FormatText("tonvale: the window could not be loaded: %s.\n"
                             "Use /command to convert a file or /h to list the options.\n",
                             error.c_str()));
    return DialogResult::NoWindow;
  }
  const auto run = reinterpret_cast<WindowEntry>(entry);
  return static_cast<DialogResult>(run(&argc, argv, &context));
}
