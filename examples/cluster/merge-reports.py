#!/usr/bin/env python3
"""Merges the Tonvale batch summaries (/report files) of one run of tonvale-cluster.sh into one
summary of the same form.

Usage: merge-reports.py [--parallel-status N] [--settings FILE] [--eq-index N]
                        PLAN JOBLOG REPORTDIR > merged.json

PLAN is the run's file list, one path per line, as GNU parallel read it; JOBLOG is parallel's
--joblog, whose commands tell which planned files each batch was given; batch number N wrote
REPORTDIR/report-N.json when it finished. The merged summary lists every planned file, in plan
order: the entries of each batch that wrote its summary, and for every file of a batch that did
not (it was killed, or its host failed) a failed entry "no result: its batch did not finish".
The totals are counted from the entries, the wall time is the longest batch's (batches run side
by side), and the result is 1 only when every planned file converted, every batch's result is 1
and parallel's exit status (--parallel-status) is 0. --settings and --eq-index name the settings
when no batch wrote a summary. Summaries that name different settings files or EQ indexes cannot
be merged.

Exit status: 0 when the merged result is 1, 1 when it is 0, 2 when nothing could be merged.
"""
import argparse
import codecs
import json
import re
import shlex
import sys
from pathlib import Path

NO_RESULT = "no result: its batch did not finish"
SOURCE_OPTION = "/convert_source:"


def _one_byte_replaced(error):
    # Tonvale's reports write each byte that is not part of valid UTF-8 as U+FFFD.
    return ("\ufffd", error.start + 1)


codecs.register_error("tonvale-report", _one_byte_replaced)


def read_plan(path):
    """The planned files as bytes, one per line; a last line without its newline counts."""
    lines = Path(path).read_bytes().split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    return lines


def read_joblog(path):
    """{batch number: its planned files as bytes, or None when its command cannot be read}."""
    batches = {}
    try:
        text = Path(path).read_bytes().decode("utf-8", "surrogateescape")
    except FileNotFoundError:
        return batches
    for line in text.split("\n")[1:]:
        columns = line.split("\t", 8)
        if len(columns) < 9 or not columns[0].isdigit():
            continue
        try:
            words = shlex.split(columns[8])
        except ValueError:
            batches[int(columns[0])] = None
            continue
        sources = []
        for word in reversed(words):  # the sources are the command's last words
            if not word.startswith(SOURCE_OPTION):
                break
            sources.append(word[len(SOURCE_OPTION):].encode("utf-8", "surrogateescape"))
        batches[int(columns[0])] = list(reversed(sources)) or None
    return batches


def no_result_entry(source):
    return {
        "source": source.decode("utf-8", "tonvale-report"),
        "output": None,
        "result": "failed",
        "error": NO_RESULT,
        "seconds": None,
        "format": None,
        "duration_ms": None,
        "sample_rate": None,
        "channels": None,
        "encoding": None,
        "samples": 0,
        "clipped_samples": 0,
        "peak_dbfs": None,
        "source_ends_early": None,
        "loudness": None,
        "delivery": None,
        "bands": [],
    }


def main(argv):
    parser = argparse.ArgumentParser(prog="merge-reports.py", add_help=False)
    parser.add_argument("--parallel-status", type=int, default=0)
    parser.add_argument("--settings")
    parser.add_argument("--eq-index", type=int, default=0)
    parser.add_argument("plan")
    parser.add_argument("joblog")
    parser.add_argument("reports")
    try:
        args = parser.parse_args(argv)
    except SystemExit:
        return 2

    plan = read_plan(args.plan)
    batches = read_joblog(args.joblog)
    summaries = {}
    for path in Path(args.reports).glob("report-*.json"):
        number = re.fullmatch(r"report-(\d+)\.json", path.name)
        if number:
            try:
                with open(path, encoding="utf-8") as handle:
                    summaries[int(number.group(1))] = json.load(handle)
            except (OSError, ValueError) as error:
                # Its files are then listed without a result, as if the batch had not finished.
                print(f"merge-reports: {path} cannot be read: {error}", file=sys.stderr)
    for report in summaries.values():
        for key in ("settings_file", "eq_index"):
            if report[key] != next(iter(summaries.values()))[key]:
                print(f"merge-reports: {key} differs between the summaries", file=sys.stderr)
                return 2

    # Parallel hands the planned files to the batches in order of their numbers, each a run of
    # consecutive lines: find each batch's run from where the one before ended.
    owner = [None] * len(plan)
    cursor = 0
    for number in sorted(batches):
        sources = batches[number]
        if not sources:
            continue
        for start in range(cursor, len(plan) - len(sources) + 1):
            if plan[start:start + len(sources)] == sources:
                owner[start:start + len(sources)] = [number] * len(sources)
                cursor = start + len(sources)
                break

    files = []
    placed = set()
    missing = 0
    for source, number in zip(plan, owner):
        if number in summaries:
            if number not in placed:
                files.extend(summaries[number]["files"])
                placed.add(number)
        else:
            files.append(no_result_entry(source))
            missing += 1
    unplaced = sorted(set(summaries) - placed)
    for number in unplaced:
        # A summary whose batch the job log does not show: its files are listed all the same.
        print(f"merge-reports: batch {number} is not in the job log; its files are listed last",
              file=sys.stderr)
        files.extend(summaries[number]["files"])

    reports = list(summaries.values())
    first = reports[0] if reports else {}
    counts = {
        result: sum(1 for entry in files if entry["result"] == result)
        for result in ("converted", "failed", "not_attempted")
    }
    result = int(
        args.parallel_status == 0
        and missing == 0
        and not unplaced
        and all(r["result"] == 1 for r in reports)
        and counts["converted"] == len(files)
    )
    merged = {
        "report_version": 2,
        "settings_file": first.get("settings_file", args.settings),
        "eq_index": first.get("eq_index", args.eq_index),
        "threads": max((r["threads"] for r in reports), default=1),
        "keep_going": all(r["keep_going"] for r in reports),
        "seconds": max((r["seconds"] for r in reports), default=0),
        "files_total": len(files),
        "files_converted": counts["converted"],
        "files_failed": counts["failed"],
        "files_not_attempted": counts["not_attempted"],
        "result": result,
        "files": files,
    }
    json.dump(merged, sys.stdout, indent=2, ensure_ascii=False)
    sys.stdout.write("\n")
    if missing:
        print(f"merge-reports: {missing} of {len(plan)} planned files have no result: their "
              "batches did not finish", file=sys.stderr)
    return 0 if result == 1 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
