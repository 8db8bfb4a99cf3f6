#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Where the program finds and keeps its own files. A program installed under a prefix (its
// folder named "bin" with "../share/tonvale/" beside it) keeps its configuration file in the
// user's XDG configuration folder, because the prefix belongs to the system, and loads its
// window module from the library folder of that prefix. A program anywhere else (the build tree,
// a copied folder, Windows) keeps both beside itself.

/// What the decision reads: the program's path, the environment and the file system.
struct ProgramLayoutInputs {
  std::string modulePath;                    ///< full path of the running program
  std::optional<std::string> xdgConfigHome;  ///< $XDG_CONFIG_HOME; nullopt when unset
  std::string home;                          ///< the user's home folder; empty when unknown
  /// The window module's folder relative to an installed program's folder ("../lib/tonvale").
  std::string installedModuleFolder;
  /// True when a folder exists at the path.
  std::function<bool(const std::string&)> folderExists;
};

/// Where the program's files lie.
struct ProgramLayout {
  bool installed = false;  ///< the program lies in "bin" with "../share/tonvale/" beside it
  /// The configuration file. Empty when an installed program finds no home folder: it then runs
  /// on the built-in configuration and writes nothing.
  std::string configPath;
  std::string configFolder;  ///< the folder to create for the configuration file; empty: none
  std::string moduleFolder;  ///< the folder the window module is loaded from
};

/// Decides the layout from `inputs` alone. $XDG_CONFIG_HOME counts only when it is an absolute
/// path, as the XDG base directory rules say; otherwise the folder is $HOME/.config.
ProgramLayout ResolveProgramLayout(const ProgramLayoutInputs& inputs);

/// The layout of the running program: its path, $XDG_CONFIG_HOME, $HOME (or the account's home
/// folder when $HOME is unset) and the file system. On Windows the files always lie beside the
/// program.
ProgramLayout CurrentProgramLayout(std::string_view installedModuleFolder);

}  // namespace platform
