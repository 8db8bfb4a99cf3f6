#!/usr/bin/env bash
# Runs the README's two set-up commands as a new user would: in a fresh Debian 12 root made with
# debootstrap (minbase, no locale, none of our tools), the project cloned with git from this
# repository's committed HEAD, then `bash scripts/run-example.sh` and `bash scripts/test.sh` with
# nothing inherited from the caller's environment but PATH and HOME. Prints the time each took.
# Needs root and a Debian mirror.
# Usage: scripts/try-readme-debian12.sh [ROOT_FOLDER] (default: a new folder under /tmp, removed
# afterwards unless KEEP_ROOT=1; an existing folder is refused, so that every run starts fresh).
set -euo pipefail
cd "$(dirname "$0")/.."
repository=$PWD

if [[ "$(id -u)" -ne 0 ]]; then
  echo "try-readme-debian12.sh: run as root (debootstrap and chroot need it)" >&2
  exit 2
fi
root=${1:-$(mktemp -d /tmp/tonvale-readme-XXXXXX)}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
if [[ -n "${1:-}" && -e "$root" ]]; then
  echo "try-readme-debian12.sh: $root exists; name a new folder" >&2
  exit 2
fi
if ! command -v debootstrap > /dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
fi

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[i]}" 2> /dev/null || true
  done
  # Removed only when nothing is mounted below it any more: the repository is bound into it.
  if [[ "${KEEP_ROOT:-0}" != 1 ]] && ! grep -q " $root/" /proc/mounts; then
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT
mount_in_root() {  # TYPE-OR-BIND SOURCE TARGET
  mkdir -p "$root/$3"
  if [[ $1 == bind ]]; then
    mount --bind "$2" "$root/$3"
  elif [[ $1 == bind-ro ]]; then
    mount --bind "$2" "$root/$3"
    mount -o remount,bind,ro "$root/$3"
  else
    mount -t "$1" "$2" "$root/$3"
  fi
  mounted+=("$root/$3")
}

start=$(date +%s)
debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 || {
  tail -n 20 "$root.debootstrap.log"
  exit 1
}
rm -f "$root.debootstrap.log"
mount_in_root proc proc proc
mount_in_root sysfs sysfs sys
mount_in_root bind /dev dev
mount_in_root devpts devpts dev/pts
mount_in_root tmpfs tmpfs dev/shm
mount_in_root bind-ro "$repository" mnt/origin
cp /etc/resolv.conf "$root/etc/resolv.conf"

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb "$@"
}
timed() {  # LABEL COMMAND...
  local label=$1 begin status=0
  shift
  begin=$(date +%s)
  "$@" || status=$?
  echo "== $label: $(($(date +%s) - begin)) s, exit status $status"
  return $status
}

# What a user types first on a bare system: git, to clone the project.
in_root sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  --no-install-recommends git ca-certificates > /dev/null'
in_root git -c safe.directory='*' clone -q /mnt/origin /root/tonvale
echo "== fresh root ready: $(($(date +%s) - start)) s"

timed "bash scripts/run-example.sh" in_root sh -c 'cd /root/tonvale && bash scripts/run-example.sh'
timed "bash scripts/test.sh" in_root sh -c 'cd /root/tonvale && bash scripts/test.sh'
echo "== both README commands passed in a fresh Debian 12 root: $(($(date +%s) - start)) s in all"
