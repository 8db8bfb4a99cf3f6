#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the installed desktop files with the
# desktop's own tools: desktop-file-validate, appstreamcli, update-mime-database and man-db.
# Skipped (status 77) when one of them is missing: `bash scripts/deps.sh test` installs them.
# Usage: desktop-files-test.sh BUILD_DIR PROJECT_VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools desktop-file-validate appstreamcli update-mime-database man lexgrog

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > install.log
share=$prefix/share

desktop-file-validate "$share/applications/tonvale.desktop" > validate.log 2>&1 ||
  fail "desktop-file-validate: $(cat validate.log)"
[[ ! -s validate.log ]] || fail "desktop-file-validate: $(cat validate.log)"

# The whole tree: the metainfo file, and that its launchable desktop entry is installed.
appstreamcli validate-tree --no-net "$prefix" > appstream.log 2>&1 ||
  fail "appstreamcli validate-tree: $(cat appstream.log)"
appstreamcli validate --no-net "$share/metainfo/io.github.tonvale.Tonvale.metainfo.xml" \
  > appstream.log 2>&1 || fail "appstreamcli validate: $(cat appstream.log)"
grep -q "<release version=\"$version\"" "$share/metainfo/io.github.tonvale.Tonvale.metainfo.xml" ||
  fail "the metainfo file has no release entry for version $version"

# The MIME package compiles into a database that gives our types to their file names.
cp -r "$share/mime" mime
XDG_DATA_HOME=$work update-mime-database "$work/mime" > mime.log 2>&1 ||
  fail "update-mime-database: $(cat mime.log)"
[[ ! -s mime.log ]] || fail "update-mime-database: $(cat mime.log)"
for glob in 'application/x-tonvale-wio:*.wio' 'audio/x-caf:*.caf' 'audio/x-w64:*.w64'; do
  awk -F: -v want="$glob" '$2 ":" $3 == want { found = 1 } END { exit !found }' mime/globs2 ||
    fail "the compiled MIME database lacks $glob"
done

# Every icon size that is installed is the size its folder names.
sizes=0
for icon in "$share"/icons/hicolor/*x*/apps/tonvale.png; do
  sizes=$((sizes + 1))
  size=${icon%/apps/tonvale.png}
  size=${size##*/}
  read -r width height < <(od -An -tu1 -j16 -N8 "$icon" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [[ ${width}x$height == "$size" ]] || fail "$icon is ${width}x$height"
done
[[ $sizes -eq 8 && -f $share/icons/hicolor/scalable/apps/tonvale.svg ]] ||
  fail "icon sizes missing: $(ls "$share/icons/hicolor")"

# The manual page: found by `man tonvale` in the prefix, rendered without a warning, and its
# NAME line readable by whatis and apropos.
page=$(MANPATH=$share/man man -w tonvale) || fail "man does not find tonvale in the prefix"
[[ $page == "$share/man/man1/tonvale.1" ]] || fail "man finds $page"
LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" \
  > /dev/null 2> man.log || fail "man: $(cat man.log)"
[[ ! -s man.log ]] || fail "man warns: $(cat man.log)"
lexgrog "$page" | grep -q 'tonvale - equalizer for speech recordings' ||
  fail "lexgrog reads: $(lexgrog "$page")"
grep -q "Tonvale $version" "$page" || fail "the manual page names another version"

echo "desktop entry, metainfo, MIME package, icons and manual page pass their tools' checks"
