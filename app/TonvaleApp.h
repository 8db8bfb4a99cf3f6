#pragma once

#include <string>
#include <vector>

#include "app/BatchPlan.h"
#include "settings/UserSettings.h"

/// Process exit statuses. A calling program can tell a failed conversion from a success
/// without reading the console lines.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitBadCommandLine = 1;
inline constexpr int kExitConversionFailed = 2;  ///< also for any other failure of a run
inline constexpr int kExitNoWindow = 3;

/// The application object: start-up and the choice of run mode.
class CTonvaleApp {
 public:
  /// Runs the program on the process arguments and returns its exit status.
  int Run(int argc, char** argv);

  /// Start-up in its fixed order, then the run mode. Returns false when the program ends
  /// without a successful run (a rejected command line, a failed conversion).
  bool InitInstance();

  int ExitCode() const { return m_exitCode; }

 private:
  // The steps of InitInstance, in their order. Each that can end the run sets m_exitCode and
  // returns false then.
  void SetUpProcessPaths();
  bool ParseCommandLine();
  bool PlanRun(BatchPlan& plan);
  SettingsLoadReport LoadSettings();
  bool RunConsole(const BatchPlan& plan, SettingsLoadReport& settings);
  bool RunPresetSteps(SettingsLoadReport& settings);
  bool RunConversions(const BatchPlan& plan, SettingsLoadReport& settings);
  bool RunWindow(const SettingsLoadReport& settings);

  int m_argc = 0;
  char** m_argv = nullptr;
  std::vector<std::string> m_args;
  int m_exitCode = kExitSuccess;
};
