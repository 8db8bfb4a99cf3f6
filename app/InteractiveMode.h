#pragma once

/// What the interactive window ended with.
enum class DialogResult { NoWindow = -1, Ok = 1, Cancel = 2 };

/// Shows the main dialog modally with the process-wide configuration, options and band table,
/// and returns how it ended. A build without a window says so on standard error and returns
/// DialogResult::NoWindow.
DialogResult RunInteractiveMode(int& argc, char** argv);
