# Sourced by the build scripts. When ccache is there (scripts/deps.sh test installs it), every
# compile goes through it, keyed on paths relative to the checkout, so that a second run of the
# same sources on one machine, from this clone or another, compiles nothing again. Sets
# cache_launcher to the CMake arguments that say so (empty without ccache).
cache_launcher=()
if command -v ccache > /dev/null; then
  export CCACHE_BASEDIR="$PWD"
  export CCACHE_NOHASHDIR=1
  export CCACHE_SLOPPINESS=include_file_mtime,include_file_ctime,time_macros
  export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-12G}"
  cache_launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
