#include "app/TonvaleApp.h"

#include <csignal>
#include <string>

#include "app/AppGlobals.h"
#include "app/BatchPlan.h"
#include "app/CommandMode.h"
#include "app/CommandParser.h"
#include "app/ConsoleLog.h"
#include "app/HelpListing.h"
#include "app/PresetCommand.h"
#include "app/ProgressLine.h"
#include "app/RunFileClash.h"
#include "app/StartupWarning.h"
#include "app/VersionText.h"
#include "convert/ConversionJob.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/PathUtil.h"
#include "platform/process/Console.h"
#include "platform/process/ModulePath.h"
#include "platform/process/ProgramLayout.h"
#include "platform/text/BoundedText.h"
#include "platform/text/ExceptionText.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"
#include "settings/LiveFlag.h"
#include "settings/UserSettings.h"
#include "ui/InteractiveMode.h"

namespace {

// Writes the batch summary to `path` atomically: a reader never sees half a report.
bool StoreReport(const std::string& path, const std::string& json, std::string& error) {
  int errorNumber = 0;
  if (platform::ReplaceFileAtomically(path, json, &errorNumber)) {
    return true;
  }
  error = platform::DescribeFileError(errorNumber);
  return false;
}

}  // namespace

int CTonvaleApp::Run(int argc, char** argv) {
#if !defined(_WIN32)
  // A write beyond the file-size limit then fails with its reason instead of killing the
  // program half-way.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  m_argc = argc;
  m_argv = argv;
  m_exitCode = kExitSuccess;
  std::string reason;
  try {
    m_args.assign(argv, argv + argc);
    (void)InitInstance();
    return m_exitCode;
  } catch (...) {
    reason = platform::CurrentExceptionReason();
  }
  // Nothing may end the program unexplained: the run mode's own channel says why.
  const std::string message = platform::FormatText(
      "%sThe program stopped: %s.%s", "Error:", platform::PrintableText(reason).c_str(), "\r\n");
  if (g_cmdOptions.consoleMode == 1) {
    ConsoleLog(message);
  } else {
    platform::WriteStandardError(message);
  }
  try {
    WriteLiveFlag(g_configPath, 0);
  } catch (...) {
    // The flag is advisory; the exit status says what happened.
  }
  m_exitCode = kExitConversionFailed;
  return m_exitCode;
}

void CTonvaleApp::SetUpProcessPaths() {
  const std::string modulePath = platform::BoundedPath(platform::GetModulePath());
  g_exeName = platform::BoundedPath(platform::FileNamePart(modulePath));
  g_exePath = modulePath;
  // Beside the program, or in the user's configuration folder when the program is installed:
  // an installed program never writes into its prefix.
  const platform::ProgramLayout layout =
      platform::CurrentProgramLayout(TONVALE_INSTALLED_MODULE_FOLDER);
  if (!layout.configFolder.empty()) {
    (void)platform::CreateDirectoryTree(layout.configFolder);
  }
  g_configPath = platform::BoundedPath(layout.configPath);
  g_windowModuleFolder = platform::BoundedPath(layout.moduleFolder);
}

bool CTonvaleApp::InitInstance() {
  SetUpProcessPaths();
  (void)LoadAppConfig(g_configPath, g_appConfig);
  WriteLiveFlag(g_configPath, 1);
  if (!ParseCommandLine()) {
    return false;
  }
  BatchPlan plan;
  if (!PlanRun(plan)) {
    return false;
  }
  SettingsLoadReport settings = LoadSettings();
  if (g_cmdOptions.consoleMode == 1) {
    WriteLiveFlag(g_configPath, 0);
    return RunConsole(plan, settings);
  }
  return RunWindow(settings);
}

bool CTonvaleApp::ParseCommandLine() {
  CommandParser parser(g_cmdOptions, g_appConfig, ConsoleLog);
  if (parser.ParseCommandLine(m_args) != 0) {
    return true;
  }
  // Without /command or /h before the faulty argument the console is off; a person who
  // started the program still needs to see why it ended.
  if (g_cmdOptions.consoleMode != 1) {
    platform::WriteStandardError(parser.LastError());
  }
  WriteLiveFlag(g_configPath, 0);
  m_exitCode = kExitBadCommandLine;
  return false;
}

bool CTonvaleApp::PlanRun(BatchPlan& plan) {
  // The files to convert are worked out before anything else is read: a command line that
  // asks for the impossible ends as any other bad command line.
  if (g_cmdOptions.consoleMode == 1 && g_cmdOptions.hasConvertSource == 1) {
    plan = PlanBatch(g_cmdOptions, ConvertibleFileExtensions());
  }
  if (plan.error.empty() && g_cmdOptions.consoleMode == 1) {
    // No file the run writes may land on a file it reads or writes besides.
    plan.error = FindRunFileClash(g_cmdOptions, plan.jobs);
  }
  if (plan.error.empty()) {
    return true;
  }
  ConsoleLog(plan.error);
  WriteLiveFlag(g_configPath, 0);
  m_exitCode = kExitBadCommandLine;
  return false;
}

SettingsLoadReport CTonvaleApp::LoadSettings() {
  SettingsLoadReport settings;
  if (g_cmdOptions.hasAccessSetting == 1) {
    (void)LoadUserSettings(g_cmdOptions.accessSettingPath, g_cmdOptions.eqIndex, g_appConfig,
                           g_bandTable, &settings);
  } else {
    (void)ApplyDefaultSettings(g_appConfig, g_bandTable);
  }
  return settings;
}

bool CTonvaleApp::RunConsole(const BatchPlan& plan, SettingsLoadReport& settings) {
  if (!RunPresetSteps(settings)) {
    return false;
  }
  if (g_cmdOptions.hasConvertSource == 1) {
    return RunConversions(plan, settings);
  }
  if (g_cmdOptions.showHelp == 1) {
    PrintHelpListing(g_exeName, ConsoleLog);
  }
  if (g_cmdOptions.showVersion) {
    ConsoleLog(VersionText());
  }
  return true;
}

bool CTonvaleApp::RunPresetSteps(SettingsLoadReport& settings) {
  const bool presets = g_cmdOptions.hasImportPreset || g_cmdOptions.hasExportPreset;
  if (presets && g_cmdOptions.hasAccessSetting != 1) {
    ConsoleLog(platform::FormatText(
        "%sA preset is imported into or exported from a settings file: name it with "
        "/access_setting.%s",
        "Error:", "\r\n"));
    m_exitCode = kExitBadCommandLine;
    return false;
  }
  bool presetsDone = true;
  if (g_cmdOptions.hasImportPreset) {
    presetsDone = RunImportPreset(g_cmdOptions, g_appConfig, g_bandTable, ConsoleLog) == 1;
    if (presetsDone) {
      settings = SettingsLoadReport{};
    }
  }
  if (presetsDone && g_cmdOptions.hasExportPreset) {
    presetsDone =
        RunExportPreset(g_cmdOptions, g_bandTable, settings.status == SettingsLoadStatus::Loaded,
                        settings.reason, ConsoleLog) == 1;
  }
  if (presetsDone) {
    return true;
  }
  if (g_cmdOptions.hasConvertSource == 1) {
    // Converting with other bands than those asked for would only hide the failure.
    ConsoleLog(platform::FormatText(
        "%sThe conversion is not run: the preset step before it failed.%s%sConvertFile:"
        "Result:0%s",
        "Information:", "\r\n", "Terminated:", "\r\n"));
  }
  m_exitCode = kExitConversionFailed;
  return false;
}

bool CTonvaleApp::RunConversions(const BatchPlan& plan, SettingsLoadReport& settings) {
  ProgressLine progress(platform::StandardErrorIsTerminal(), platform::WriteStandardError);
  CommandModeSinks sinks;
  sinks.log = [&progress](std::string_view text) {
    progress.Clear();  // the transcript's lines stand on their own, never after the bar
    ConsoleLog(text);
  };
  if (platform::StandardErrorIsTerminal()) {
    sinks.progress = [&progress](const BatchProgress& state) { progress.Update(state); };
  }
  sinks.storeReport = [](const std::string& json, std::string& error) {
    return StoreReport(g_cmdOptions.reportPath, json, error);
  };
  const int result =
      RunCommandMode(g_cmdOptions, plan, g_bandTable,
                     g_cmdOptions.hasAccessSetting == 1 ? &settings : nullptr, sinks);
  progress.Clear();
  m_exitCode = result == 1 ? kExitSuccess : kExitConversionFailed;
  return result != 0;
}

bool CTonvaleApp::RunWindow(const SettingsLoadReport& settings) {
  // The bands are saved when the window closes with OK, inside the window, so that a save that
  // fails can be reported while the user can still act on it.
  const InteractiveContext context{
      g_appConfig,
      g_bandTable,
      g_graphParams,
      g_bqCalculator,
      g_cmdOptions.hasAccessSetting == 1,
      g_configPath,
      [] {
        return SaveUserSettings(g_cmdOptions.accessSettingPath, g_cmdOptions.eqIndex, g_appConfig,
                                g_bandTable) == 1;
      },
      g_cmdOptions.openRecordingPath,
      g_cmdOptions.hasAccessSetting == 1
          ? StartupWarning(settings, g_cmdOptions.eqIndex, g_cmdOptions.accessSettingPath)
          : std::string()};
  const DialogResult result = RunInteractiveMode(m_argc, m_argv, context);
  WriteLiveFlag(g_configPath, 0);
  if (result == DialogResult::NoWindow) {
    m_exitCode = kExitNoWindow;
    return false;
  }
  if (result == DialogResult::Failed) {
    m_exitCode = kExitConversionFailed;
    return false;
  }
  return true;
}
