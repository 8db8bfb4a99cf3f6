#!/usr/bin/env python3
"""Types command lines into an interactive bash (on a pseudo-terminal, so that readline does
the completing as for a user) with the installed completion script loaded, presses Tab and
checks the line that results.

Usage: bash-completion-test.py COMPLETION_SCRIPT
"""
import os
import pty
import re
import select
import shutil
import sys
import tempfile
import time

script = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp()
try:
    os.chdir(work)
    for name in ("take one.wav", "speech-eq.cfg", "report.json"):
        open(name, "w").close()
    os.mkdir("sub")
    open(os.path.join("sub", "inner.flac"), "w").close()

    # Each case: what is typed (a Tab is "\t"), and the line readline holds afterwards.
    cases = [
        ("tonvale /convert_s\t", "tonvale /convert_source:"),
        ("tonvale /convert_source:ta\t", "tonvale /convert_source:take\\ one.wav "),
        ("tonvale /convert_source:su\t", "tonvale /convert_source:sub/"),
        ("tonvale /convert_source:sub/in\t", "tonvale /convert_source:sub/inner.flac "),
        ("tonvale -access_setting=sp\t", "tonvale -access_setting=speech-eq.cfg "),
        ("tonvale /output_folder:s\t", "tonvale /output_folder:sub/"),
        ("tonvale /report:r\t", "tonvale /report:report.json "),
        ("tonvale /keep\t", "tonvale /keep_going "),
        ("tonvale --v\t", "tonvale --version "),
        ("tonvale -rec\t", "tonvale -recursive "),
        ("tonvale /command /open_rec\t", "tonvale /command /open_recording:"),
        ("tonvale /checklive:\t", "tonvale /checklive:"),
        # Some users take ":" out of the word breaks; then bash replaces the whole argument.
        ("COMP_WORDBREAKS=${COMP_WORDBREAKS//:/}\n", None),
        ("tonvale /convert_source:ta\t", "tonvale /convert_source:take\\ one.wav "),
        ("tonvale /open_recording:sub/in\t", "tonvale /open_recording:sub/inner.flac "),
        ("tonvale /convert_o\t", "tonvale /convert_output:"),
    ]

    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": work, "TERM": "dumb",
           "INPUTRC": "/dev/null"}
    pid, fd = pty.fork()
    if pid == 0:
        os.execvpe("bash", ["bash", "--norc", "--noprofile", "-i"], env)

    output = b""

    def read_until(pattern, timeout=10.0):
        global output
        deadline = time.monotonic() + timeout
        while True:
            match = re.search(pattern, output)
            if match:
                output = output[match.end():]
                return match
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise SystemExit("FAIL: no answer from bash; last output: %r" % output[-300:])
            try:
                output += os.read(fd, 4096)
            except OSError:
                raise SystemExit("FAIL: bash ended; last output: %r" % output[-300:])

    # Ctrl-T prints the line readline holds, between markers, then the line is killed (Ctrl-U).
    os.write(fd, b"bind 'set enable-bracketed-paste off'; PS1='ready> '; source '%s'; "
                 b"bind -x '\"\\C-t\": printf \"\\n[[%%s]]\\n\" \"$READLINE_LINE\"'\n"
             % script.encode())
    read_until(rb"ready> $")
    failures = 0
    for typed, expected in cases:
        if expected is None:
            os.write(fd, typed.encode())
            continue
        os.write(fd, typed.encode() + b"\x14\x15")
        got = read_until(rb"\[\[(tonvale[^\]\n]*)\]\]").group(1).decode()
        if got != expected:
            print("FAIL: %r completes to %r, expected %r" % (typed, got, expected))
            failures += 1
    os.write(fd, b"exit\n")
    os.waitpid(pid, 0)
    if failures:
        sys.exit(1)
    print("bash completion: every line completes as expected")
finally:
    shutil.rmtree(work, ignore_errors=True)
