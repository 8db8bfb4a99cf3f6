#!/usr/bin/env python3
"""Merges Tonvale batch summaries (/report files) into one summary of the same form.

Usage: merge-reports.py REPORT.json... > merged.json

The files of every summary are listed in the order given; the totals are summed, the wall time
is the longest batch's (batches run side by side), and the result is 1 only when every batch's
is 1. Summaries that name different settings files or EQ indexes cannot be merged.
"""
import json
import sys


def main(paths):
    if not paths:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    reports = []
    for path in paths:
        with open(path, encoding="utf-8") as handle:
            reports.append(json.load(handle))
    first = reports[0]
    for report in reports[1:]:
        for key in ("settings_file", "eq_index"):
            if report[key] != first[key]:
                print(f"merge-reports: {key} differs between the summaries", file=sys.stderr)
                return 1
    merged = {
        "report_version": 1,
        "settings_file": first["settings_file"],
        "eq_index": first["eq_index"],
        "threads": max(r["threads"] for r in reports),
        "keep_going": all(r["keep_going"] for r in reports),
        "seconds": max(r["seconds"] for r in reports),
    }
    for key in ("files_total", "files_converted", "files_failed", "files_not_attempted"):
        merged[key] = sum(r[key] for r in reports)
    merged["result"] = 1 if all(r["result"] == 1 for r in reports) else 0
    merged["files"] = [entry for r in reports for entry in r["files"]]
    json.dump(merged, sys.stdout, indent=2, ensure_ascii=False)
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
