#include "platform/process/ProgramLayout.h"

#include <cstdlib>
#include <vector>

#include "platform/fs/FileSystem.h"
#include "platform/fs/PathUtil.h"
#include "platform/process/ModulePath.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// `folder` joined with the relative path `relative`, each leading "../" of it taking one folder
// off `folder`, so that the result names the folder itself ("/usr/bin" + "../lib/tonvale" is
// "/usr/lib/tonvale").
std::string JoinRelative(std::string folder, std::string_view relative) {
  while (relative.substr(0, 3) == "../") {
    folder = ParentFolder(folder);
    relative.remove_prefix(3);
  }
  if (relative.empty()) {
    return folder;
  }
  return folder.ends_with('/') ? folder + std::string(relative)
                               : folder + "/" + std::string(relative);
}

// `path` without separators at its end; the root stays "/".
std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.ends_with('/')) {
    path.pop_back();
  }
  return path;
}

// The XDG configuration base folder, or empty when neither variable gives an absolute path.
std::string ConfigBaseFolder(const ProgramLayoutInputs& inputs) {
  if (inputs.xdgConfigHome && inputs.xdgConfigHome->starts_with('/')) {
    return WithoutTrailingSeparators(*inputs.xdgConfigHome);
  }
  if (inputs.home.starts_with('/')) {
    return JoinRelative(WithoutTrailingSeparators(inputs.home), ".config");
  }
  return {};
}

}  // namespace

ProgramLayout ResolveProgramLayout(const ProgramLayoutInputs& inputs) {
  ProgramLayout layout;
  const std::string programFolder = ParentFolder(inputs.modulePath);
  layout.installed = !inputs.modulePath.empty() && FileNamePart(programFolder) == "bin" &&
                     inputs.folderExists &&
                     inputs.folderExists(JoinRelative(programFolder, "../share/tonvale"));
  if (!layout.installed) {
    layout.configPath = ReplaceExtension(inputs.modulePath, ".ini");
    layout.moduleFolder = programFolder;
    return layout;
  }
  layout.moduleFolder = JoinRelative(programFolder, inputs.installedModuleFolder);
  const std::string base = ConfigBaseFolder(inputs);
  if (!base.empty()) {
    layout.configFolder = JoinRelative(base, "tonvale");
    layout.configPath = JoinRelative(layout.configFolder, "tonvale.ini");
  }
  return layout;
}

ProgramLayout CurrentProgramLayout(std::string_view installedModuleFolder) {
  ProgramLayoutInputs inputs;
  inputs.modulePath = GetModulePath();
  inputs.installedModuleFolder = std::string(installedModuleFolder);
#if defined(_WIN32)
  // A Windows program keeps its files beside itself wherever it lies.
  inputs.folderExists = [](const std::string&) { return false; };
#else
  inputs.folderExists = [](const std::string& path) { return DirectoryExists(path); };
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) {
    inputs.xdgConfigHome = xdg;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    inputs.home = home;
  } else {
    // A program started without $HOME (a service, `env -i`) still has an account.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
      inputs.home = found->pw_dir;
    }
  }
#endif
  return ResolveProgramLayout(inputs);
}

}  // namespace platform
