#!/usr/bin/env bash
# Builds the Debian package with cpack into a fresh folder and reads it back with dpkg-deb: the
# files an installation needs are in it, nothing lies outside /usr/bin, /usr/lib and /usr/share,
# and the dependencies dpkg-shlibdeps found name the libraries the program and its window load.
# Skipped (status 77) without dpkg-dev: `bash scripts/deps.sh package` installs it.
# Usage: package-test.sh BUILD_DIR PROJECT_VERSION GUI(0|1)
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
gui=$3
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools cpack dpkg-deb dpkg-shlibdeps

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" > cpack.log 2>&1 ||
  fail "cpack: $(cat cpack.log)"
deb=$work/tonvale_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $deb: $(ls "$work")"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > contents
wanted=(/usr/bin/tonvale /usr/share/tonvale/README /usr/share/applications/tonvale.desktop
        /usr/share/metainfo/io.github.tonvale.Tonvale.metainfo.xml /usr/share/man/man1/tonvale.1
        /usr/share/bash-completion/completions/tonvale /usr/share/mime/packages/tonvale.xml
        /usr/share/icons/hicolor/scalable/apps/tonvale.svg)
for size in 16 22 24 32 48 64 128 256; do
  wanted+=("/usr/share/icons/hicolor/${size}x$size/apps/tonvale.png")
done
for file in "${wanted[@]}"; do
  grep -qxF "$file" contents || fail "$file is not in the package"
done
if ((gui)); then
  grep -qE '^/usr/lib/([^/]+/)?tonvale/tonvale_window\.so$' contents ||
    fail "the window module is not in the package"
fi
strays=$(grep -vE '^/usr/(bin|lib|share)(/|$)|^/(usr/)?$' contents || true)
[[ -z $strays ]] || fail "files outside /usr/bin, /usr/lib and /usr/share: $strays"

[[ $(dpkg-deb -f "$deb" Package) == tonvale && $(dpkg-deb -f "$deb" Version) == "$version" &&
   $(dpkg-deb -f "$deb" Section) == sound ]] || fail "control: $(dpkg-deb -f "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
needed=(libc6 libsndfile1)
if ((gui)); then
  needed+=(libqt6widgets6 libqt6multimedia6 libqt6svg6)
fi
for package in "${needed[@]}"; do
  [[ ", $depends," == *", $package "* ]] || fail "Depends does not name $package: $depends"
done

echo "package $(basename "$deb"): every file in place, depends on ${needed[*]}"
