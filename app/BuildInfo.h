#pragma once

// What the build knows about itself, written at build time by cmake/BuildInfo.cmake.

/// The project version, "X.Y.Z".
extern const char* const kTonvaleVersion;
/// The commit the program was built from, 12 hexadecimal digits, or "unknown" when it was built
/// outside a git work tree.
extern const char* const kTonvaleBuildCommit;
