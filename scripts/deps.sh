#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tonvale need, when they are missing.
# Usage: scripts/deps.sh [build|test|bench|package|windows]...
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libgtest-dev qt6-base-dev qt6-svg-dev qt6-multimedia-dev
          libkissfft-dev fonts-dejavu-core libsndfile1-dev libebur128-dev libsoxr-dev)
for set in "${@:-build}"; do
  case "$set" in
    build) ;;
    # Besides the libraries: the static checks' clang-format and clang-tidy (with run-clang-tidy),
    # git for the version, file for cpack's DEB generator, ccache to keep compiled objects
    # between runs, and the tools the tests call (GNU time for a program's peak memory). The
    # window's tests also run on an X server of their own: xvfb; Qt's xcb platform plugin and the
    # xcb libraries it loads come with libqt6gui6 on Debian 12.
    test) packages+=(libbenchmark-dev libsndfile1-dev clang libclang-rt-14-dev locales sox ffmpeg
                     python3 python3-jsonschema python3-numpy parallel git file clang-format clang-tidy
                     sndfile-programs ccache xvfb time
                     dpkg-dev desktop-file-utils appstream shared-mime-info man-db) ;;
    bench) packages+=(libbenchmark-dev libsndfile1-dev sox ffmpeg bc) ;;
    # The Debian package: cpack finds its dependencies with dpkg-shlibdeps, and its DEB generator
    # calls file.
    package) packages+=(dpkg-dev file) ;;
    # The Windows cross build and Wine to run its tests; GoogleTest from its sources.
    windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest ccache) ;;
    *) echo "deps.sh: unknown package set $set" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done

sudo=()
if [[ "$(id -u)" -ne 0 ]]; then
  sudo=(sudo)
fi
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends \
    "${missing[@]}"
fi

# A locale with a decimal comma, so that the tests can show that numbers ignore the locale.
if [[ " $* " == *" test "* ]] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "Generating the de_DE.UTF-8 locale"
  "${sudo[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  "${sudo[@]}" locale-gen > /dev/null
fi
