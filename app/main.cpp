#include "app/TonvaleApp.h"

#if defined(_WIN32)
#include <string>
#include <vector>

#include "platform/fs/NativePath.h"

// On Windows the command line arrives as UTF-16, so that any file name survives; the program
// works with UTF-8 text throughout.
int wmain(int argc, wchar_t** wideArgv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    args.push_back(platform::Utf8Text(wideArgv[i]));
  }
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  CTonvaleApp app;
  return app.Run(argc, argv.data());
}
#else
int main(int argc, char** argv) {
  CTonvaleApp app;
  return app.Run(argc, argv);
}
#endif
