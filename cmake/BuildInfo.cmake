# Writes the program's version and the commit its sources are at into a C++ file, replacing the
# file only when its text changes: run at every build, so the commit never goes stale, and an
# unchanged commit recompiles nothing.
#
# Usage: cmake -DGIT=<git or empty> -DSOURCE_DIR=<repository root> -DVERSION=<X.Y.Z>
#              -DOUTPUT=<file.cpp> -P BuildInfo.cmake

set(commit "unknown")
if(GIT)
  # Outside a git work tree (a source archive) git fails, and the commit stays unknown.
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --short=12 --verify -q HEAD
                  OUTPUT_VARIABLE head RESULT_VARIABLE result ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(result EQUAL 0 AND head MATCHES "^[0-9a-f]+$")
    set(commit "${head}")
  endif()
endif()

file(WRITE "${OUTPUT}.new" "// Written by cmake/BuildInfo.cmake at build time.
#include \"app/BuildInfo.h\"

const char* const kTonvaleVersion = \"${VERSION}\";
const char* const kTonvaleBuildCommit = \"${commit}\";
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
