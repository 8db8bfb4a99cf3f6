#pragma once

#include <string>

#include "platform/process/Console.h"

/// Writes the help listing: each option's description and example, then two usage examples.
/// `exeName` is the program's file name as it appears in the examples.
void PrintHelpListing(const std::string& exeName, const platform::LogSink& log);
