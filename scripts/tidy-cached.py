#!/usr/bin/env python3
"""Runs clang-tidy on the sources of the normal build, remembering the files it found clean.

A file's verdict is kept under a key made of everything clang-tidy sees of it: the clang-tidy
version, the .clang-tidy file, the file's path in the tree, its compile flags and its preprocessed
text with comments and macro definitions (so that a header, a NOLINT comment or a macro that
changes changes the key). Paths are written relative to the tree, so that a fresh clone in
another folder finds the verdicts of this one. Only clean verdicts are kept: a file with findings
is checked again each run, and its findings are printed.

Usage: tidy-cached.py BUILD_DIR FOLDERS_REGEX JOBS
  BUILD_DIR      the build whose compile_commands.json names the files and their flags
  FOLDERS_REGEX  which top folders of the tree to check, e.g. "(app|eq)"
  JOBS           how many files at a time
The whole output of clang-tidy goes to BUILD_DIR/clang-tidy.log. Exit status 0 when every file
is clean, 1 otherwise.
"""
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys


def cache_folder():
    base = os.environ.get('XDG_CACHE_HOME') or os.path.join(os.path.expanduser('~'), '.cache')
    folder = os.path.join(base, 'tonvale', 'clang-tidy')
    os.makedirs(folder, exist_ok=True)
    return folder


def preprocess_command(entry):
    """The entry's compile command made to print its preprocessed text with comments and macros."""
    args = shlex.split(entry['command']) if 'command' in entry else list(entry['arguments'])
    kept = []
    skip = False
    for arg in args:
        if skip:
            skip = False
            continue
        if arg == '-o':
            skip = True
            continue
        if arg == '-c':
            continue
        kept.append(arg)
    return kept + ['-E', '-C', '-dD', '-o', '-']


def key_of(entry, root, salt):
    text = subprocess.run(preprocess_command(entry), cwd=entry['directory'],
                          capture_output=True, check=False)
    if text.returncode != 0:
        return None  # clang-tidy will say what is wrong
    digest = hashlib.sha256(salt)
    relative = os.path.relpath(entry['file'], root).encode()
    flags = entry.get('command', ' '.join(entry.get('arguments', []))).replace(root, '@')
    digest.update(relative + b'\0' + flags.encode() + b'\0')
    digest.update(text.stdout.replace(root.encode(), b'@'))
    return digest.hexdigest()


def tidy(entry, build):
    result = subprocess.run(['clang-tidy', '-p', build, '-quiet', entry['file']],
                            capture_output=True, text=True, check=False)
    output = result.stdout + result.stderr
    clean = result.returncode == 0 and not re.search(r'(warning|error):', result.stdout)
    return clean, output


def main():
    build, folders, jobs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    root = os.getcwd()
    with open(os.path.join(build, 'compile_commands.json'), encoding='utf-8') as handle:
        entries = json.load(handle)
    wanted = re.compile('^' + re.escape(root) + '/' + folders + '/')
    entries = sorted((e for e in entries if wanted.match(e['file'])), key=lambda e: e['file'])
    version = subprocess.run(['clang-tidy', '--version'], capture_output=True, check=True).stdout
    with open('.clang-tidy', 'rb') as handle:
        salt = version + b'\0' + handle.read() + b'\0'
    cache = cache_folder()

    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        keys = list(pool.map(lambda e: key_of(e, root, salt), entries))
    todo = [(e, k) for e, k in zip(entries, keys)
            if k is None or not os.path.exists(os.path.join(cache, k))]
    print(f'clang-tidy: {len(entries)} files, {len(entries) - len(todo)} found clean before '
          f'with the same text, {len(todo)} to check', flush=True)

    failed = []
    with open(os.path.join(build, 'clang-tidy.log'), 'w', encoding='utf-8') as log, \
            concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for (entry, key), (clean, output) in zip(todo, pool.map(lambda t: tidy(t[0], build),
                                                                todo)):
            log.write(f'== {entry["file"]}\n{output}')
            if clean:
                # Kept only when the text checked is still the text keyed (no edit in between).
                if key is not None and key_of(entry, root, salt) == key:
                    open(os.path.join(cache, key), 'wb').close()
            else:
                failed.append(entry['file'])
    if failed:
        print('clang-tidy found problems in: ' + ', '.join(os.path.relpath(f, root) for f in failed))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
