#include "platform/process/ProgramLayout.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using platform::ProgramLayout;
using platform::ProgramLayoutInputs;
using platform::ResolveProgramLayout;

// The layout of `modulePath` on a file system where only `folder` exists.
ProgramLayout Resolve(const std::string& modulePath, std::optional<std::string> xdg,
                      const std::string& home, const std::string& folder = "/usr/share/tonvale") {
  ProgramLayoutInputs inputs;
  inputs.modulePath = modulePath;
  inputs.xdgConfigHome = std::move(xdg);
  inputs.home = home;
  inputs.installedModuleFolder = "../lib/tonvale";
  inputs.folderExists = [folder](const std::string& path) { return path == folder; };
  return ResolveProgramLayout(inputs);
}

// The folder part of `path`; empty for an empty path.
std::string FolderOf(const std::string& path) {
  return path.empty() ? path : path.substr(0, path.rfind('/'));
}

TEST(ProgramLayoutTest, AnInstalledProgramKeepsItsConfigurationInTheXdgFolder) {
  struct Case {
    std::optional<std::string> xdg;
    const char* home;
    const char* config;  // empty: no configuration file
  };
  for (const Case& c : {
           Case{"/x/conf", "/home/u", "/x/conf/tonvale/tonvale.ini"},
           Case{"/x/conf//", "/home/u", "/x/conf/tonvale/tonvale.ini"},
           Case{std::nullopt, "/home/u", "/home/u/.config/tonvale/tonvale.ini"},
           Case{std::nullopt, "/home/u/", "/home/u/.config/tonvale/tonvale.ini"},
           // Only an absolute $XDG_CONFIG_HOME counts; an empty or relative one is ignored.
           Case{"", "/home/u", "/home/u/.config/tonvale/tonvale.ini"},
           Case{"conf", "/home/u", "/home/u/.config/tonvale/tonvale.ini"},
           Case{std::nullopt, "", ""},
           Case{"conf", "relative/home", ""},
       }) {
    const ProgramLayout layout = Resolve("/usr/bin/tonvale", c.xdg, c.home);
    const std::string shown = c.xdg.value_or("(unset)") + " " + c.home;
    EXPECT_TRUE(layout.installed) << shown;
    EXPECT_EQ(layout.configPath, c.config) << shown;
    EXPECT_EQ(layout.configFolder, FolderOf(c.config)) << shown;
    EXPECT_EQ(layout.moduleFolder, "/usr/lib/tonvale") << shown;
  }
}

TEST(ProgramLayoutTest, AnyPrefixCountsAndTheModuleFolderFollowsThePrefix) {
  EXPECT_EQ(Resolve("/opt/t/bin/tonvale", "/c", "/h", "/opt/t/share/tonvale").moduleFolder,
            "/opt/t/lib/tonvale");
  EXPECT_EQ(Resolve("/bin/tonvale", "/c", "/h", "/share/tonvale").moduleFolder, "/lib/tonvale");

  ProgramLayoutInputs inputs;
  inputs.modulePath = "/usr/bin/tonvale";
  inputs.installedModuleFolder = "../lib/x86_64-linux-gnu/tonvale";
  inputs.home = "/home/u";
  inputs.folderExists = [](const std::string& path) { return path == "/usr/share/tonvale"; };
  EXPECT_EQ(ResolveProgramLayout(inputs).moduleFolder, "/usr/lib/x86_64-linux-gnu/tonvale");
}

TEST(ProgramLayoutTest, AProgramOutsideAnInstallationKeepsEverythingBesideItself) {
  struct Case {
    const char* modulePath;
    const char* existing;  // the one folder that exists
  };
  for (const Case& c : {
           Case{"/work/build/tonvale", "/work/share/tonvale"},          // a build tree
           Case{"/home/u/apps/bin/tonvale", "/home/u/apps/share"},      // "bin" without the marker
           Case{"/home/u/bin/tools/tonvale", "/home/u/share/tonvale"},  // marker, no "bin"
       }) {
    const ProgramLayout layout = Resolve(c.modulePath, "/x/conf", "/home/u", c.existing);
    EXPECT_FALSE(layout.installed) << c.modulePath;
    EXPECT_EQ(layout.configPath, std::string(c.modulePath) + ".ini") << c.modulePath;
    EXPECT_EQ(layout.configFolder, "") << c.modulePath;
    EXPECT_EQ(layout.moduleFolder, FolderOf(c.modulePath)) << c.modulePath;
  }
  // A program whose path the system cannot tell keeps today's fallbacks.
  const ProgramLayout unknown = Resolve("", "/x/conf", "/home/u", ".");
  EXPECT_FALSE(unknown.installed);
  EXPECT_EQ(unknown.configPath, ".ini");
}

}  // namespace
