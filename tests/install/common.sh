# What every install test starts with, sourced after its arguments are read: a fresh working
# folder (the current folder from now on, removed at exit), fail, and require_tools, which skips
# the test (status 77) when one of the named tools is missing.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAIL: $*"
  exit 1
}

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is missing"; exit 77; }
  done
}
