#!/usr/bin/env bash
# Installs the build into a fresh prefix with `cmake --install` and runs the installed program as
# a user would: its configuration file goes into the user's XDG configuration folder and the
# prefix stays as it was installed; a copy outside an installation keeps its file beside itself;
# and the window, loaded from the prefix's library folder, closes when the liveness flag in the
# XDG file turns 0.
# Usage: install-test.sh BUILD_DIR SOURCE_DIR GUI(0|1)
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
gui=$3
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > install.log
exe=$prefix/bin/tonvale
[[ -x $exe && -d $prefix/share/tonvale ]] || fail "no bin/tonvale and share/tonvale/ in the prefix"
module=$(find "$prefix" -name 'tonvale_window.so')
if ((gui)); then
  [[ $module == "$prefix"/lib*/tonvale/tonvale_window.so ]] || fail "window module at '$module'"
fi

# Everything in the prefix with its size and time, to show that running writes nothing there.
contents() { (cd "$prefix" && find . -printf '%p %s %T@\n' | sort); }
installed=$(contents)

# $XDG_CONFIG_HOME unset: the file goes to $HOME/.config/tonvale/, created with its folders.
home=$work/home
mkdir "$home"
env -u XDG_CONFIG_HOME HOME="$home" "$exe" /command /access_setting:"$source_dir/examples/speech-eq.cfg" \
  /convert_source:"$source_dir/examples/speech.wav" /convert_output:"$work/speech_filter.wav" \
  > convert.log || fail "the installed program did not convert: $(cat convert.log)"
grep -q "^Terminated:ConvertFile:Result:1" convert.log || fail "conversion transcript: $(cat convert.log)"
config=$home/.config/tonvale/tonvale.ini
[[ -f $config ]] || fail "no $config"
grep -q '^Is_Live=0' "$config" || fail "the liveness flag was not cleared in $config"

# $XDG_CONFIG_HOME set: the file goes there, and nothing more under $HOME.
xdg=$work/xdg
HOME="$home" XDG_CONFIG_HOME="$xdg" "$exe" --version > version.log
grep -q '^tonvale ' version.log || fail "--version printed: $(cat version.log)"
config=$xdg/tonvale/tonvale.ini
[[ -f $config ]] || fail "no $config"
[[ $(find "$home" -type f | wc -l) -eq 1 ]] || fail "a second run wrote under \$HOME: $(find "$home")"

[[ $(contents) == "$installed" ]] || fail "running the program changed the prefix:
$(diff <(echo "$installed") <(contents))"

# A copy in a folder named bin, but with no share/tonvale/ beside it, is no installation.
mkdir -p portable/bin
cp "$exe" portable/bin/
HOME="$home" XDG_CONFIG_HOME="$xdg" portable/bin/tonvale /command
[[ -f portable/bin/tonvale.ini ]] || fail "a copy outside an installation keeps no file beside itself"

if ((!gui)); then
  echo "installed program: configuration in the XDG folder, prefix untouched (built without the window: its liveness check skipped)"
  exit 0
fi

# The window: started with /checklive:1, it reads the flag the start-up wrote into the XDG file
# once to start its watcher, and the watcher reads it once a second. Once both reads were seen
# (inotify), the flag is set to 0, and the window closes as Cancel does.
HOME="$home" XDG_CONFIG_HOME="$xdg" python3 - "$exe" "$config" "$work/user.cfg" <<'PY'
import ctypes, os, re, select, struct, subprocess, sys, time

exe, config, settings = sys.argv[1:4]
folder, name = os.path.split(config)
IN_OPEN, IN_MOVED_TO = 0x20, 0x80
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init1(os.O_CLOEXEC)
if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_OPEN | IN_MOVED_TO) < 0:
    sys.exit("FAIL: cannot watch " + folder)

env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
env["QT_QPA_PLATFORM"] = "offscreen"
child = subprocess.Popen([exe, "/checklive:1", "/access_setting:" + settings], env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)

def wait_for(mask, count, seconds):
    deadline = time.monotonic() + seconds
    while count > 0:
        if child.poll() is not None:
            sys.exit("FAIL: the window ended early (%d): %s" % (child.returncode, child.stderr.read().decode()))
        if time.monotonic() > deadline:
            child.kill()
            sys.exit("FAIL: the program never did that to %s" % name)
        if not select.select([fd], [], [], 0.2)[0]:
            continue
        data = os.read(fd, 4096)
        at = 0
        while at < len(data):
            _, event, _, length = struct.unpack_from("iIII", data, at)
            if event & mask and data[at + 16:at + 16 + length].rstrip(b"\0").decode() == name:
                count -= 1
            at += 16 + length

wait_for(IN_MOVED_TO, 1, 30)  # the start-up wrote the flag 1
wait_for(IN_OPEN, 2, 30)      # the window read it, and its watcher did
text = open(config).read()
if not re.search(r"^Is_Live=1$", text, re.M):
    sys.exit("FAIL: the running window's flag is not 1:\n" + text)
with open(config, "w") as f:
    f.write(re.sub(r"^Is_Live=1$", "Is_Live=0", text, flags=re.M))
try:
    out, err = child.communicate(timeout=20)
except subprocess.TimeoutExpired:
    child.kill()
    sys.exit("FAIL: the window did not close when the flag turned 0")
if child.returncode != 0:
    sys.exit("FAIL: the window ended with %d: %s" % (child.returncode, err.decode()))
if os.path.exists(settings):
    sys.exit("FAIL: closing on the flag saved the settings")
if not re.search(r"^Is_Live=0$", open(config).read(), re.M):
    sys.exit("FAIL: the flag is not 0 after the window ended")
PY
echo "installed program: configuration in the XDG folder, prefix untouched, window closed by its liveness flag"
