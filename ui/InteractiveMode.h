#pragma once

#include <functional>
#include <string>

#include "eq/band/EqBand.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"

/// What the interactive window reads and writes: the process-wide objects, handed in by the
/// application.
struct InteractiveContext {
  AppConfig& config;  ///< its defaultSampleRate is the current sample rate
  EqBandTable& bandTable;
  EqGraphParams& graphParams;
  CBQCalculator& calculator;
  bool hasAccessSetting = false;  ///< a settings file was named: OK and Cancel instead of Convert
  std::string configPath;         ///< where the liveness flag is read
  /// Saves the band table when the window is closed with OK (settings mode); false when it
  /// could not be saved, which keeps the window open so that nothing is lost.
  std::function<bool()> saveOnOk;
  /// A recording to open at start-up (/open_recording); empty for none.
  std::string openRecording;
  /// Shown in a warning as the window opens (and on standard error); empty for none.
  std::string startupWarning;
};

/// What the interactive window ended with.
enum class DialogResult {
  Failed = -2,    ///< an error stopped the window; it was shown in a message
  NoWindow = -1,  ///< no window could be opened
  Ok = 1,
  Cancel = 2,
};

/// The window module's entry (ui/WindowModule.cpp): RunInteractiveMode with the result as int.
inline constexpr char kWindowEntryName[] = "TonvaleRunWindow";
using WindowEntry = int (*)(int* argc, char** argv, const InteractiveContext* context);

/// Shows the main window modally and returns how it ended. A build without a window says so on
/// standard error and returns DialogResult::NoWindow.
DialogResult RunInteractiveMode(int& argc, char** argv, const InteractiveContext& context);
