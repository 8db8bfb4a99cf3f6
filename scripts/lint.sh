#!/usr/bin/env bash
# The static checks: every source formatted as .clang-format says, and clang-tidy's checks of
# .clang-tidy on every source of the tree (their reasons are in that file). Needs the compile
# commands of the normal build (build/compile_commands.json) and python3.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "== clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

echo "== clang-tidy"
# Files clang-tidy found clean before, with the same preprocessed text, flags and checks, are not
# checked again (scripts/tidy-cached.py says how it knows).
python3 scripts/tidy-cached.py build \
  "(app|eq|convert|analysis|preset|delivery|settings|ui|platform|LibProject|tests|bench|tools)" \
  "$jobs" || {
  grep -E "(warning|error):" build/clang-tidy.log | head -50
  echo "clang-tidy found problems; the whole report is in build/clang-tidy.log"
  exit 1
}
echo "clang-tidy: no findings"
