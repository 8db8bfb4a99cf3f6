#!/usr/bin/env bash
# Tries the built package as a new user would, in a fresh Debian 12 root made with debootstrap:
# installs build/tonvale_*.deb with apt (which pulls its dependencies), runs the program in
# command mode on the shipped example, then removes the package and lists anything it left.
# Needs root and a Debian mirror. Usage: scripts/try-package-debian12.sh [ROOT_FOLDER]
# (default /tmp/tonvale-debian12; kept for a second run, which then skips the debootstrap).
set -euo pipefail
cd "$(dirname "$0")/.."

root=${1:-/tmp/tonvale-debian12}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
shopt -s nullglob
debs=(build/tonvale_*.deb)
if ((${#debs[@]} != 1)); then
  echo "try-package-debian12.sh: build the package first (cd build && cpack -G DEB)" >&2
  exit 2
fi

if ! command -v debootstrap > /dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
fi
if [[ ! -x "$root/usr/bin/apt" ]]; then
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi

cleanup() {
  umount "$root/proc" 2> /dev/null || true
}
trap cleanup EXIT
mount -t proc proc "$root/proc"

cp "${debs[0]}" "$root/tmp/"
cp examples/speech.wav examples/speech-eq.cfg "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

in_root apt-get update -qq
# A user to run the program as, and man to read its manual, as a desktop system has them.
in_root sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq passwd man-db > /dev/null'
in_root sh -c "DEBIAN_FRONTEND=noninteractive apt-get install -y /tmp/$(basename "${debs[0]}")"
in_root sh -c 'useradd -m trial 2> /dev/null || true'
in_root su trial -c 'cd /tmp && tonvale --version && tonvale /command /access_setting:speech-eq.cfg \
  /eq_index:0 /convert_source:speech.wav /convert_output:/tmp/trial_filter.wav'
in_root su trial -c 'ls -l ~/.config/tonvale/tonvale.ini /tmp/trial_filter.wav'
in_root man -w tonvale
in_root sh -c 'DEBIAN_FRONTEND=noninteractive apt-get remove -y tonvale'
in_root sh -c 'test ! -e /usr/bin/tonvale && echo "removed: /usr/bin/tonvale is gone"'
