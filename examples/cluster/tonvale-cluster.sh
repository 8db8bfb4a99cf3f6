#!/usr/bin/env bash
# Converts a list of recordings on several machines with GNU parallel: the list is cut into
# batches, each batch runs as one Tonvale batch (its files in parallel on the host's cores, a
# JSON summary of its own), and the summaries are merged into one at the end.
#
# Usage: tonvale-cluster.sh [--transfer] SSHLOGINFILE FILELIST SETTINGS REPORTDIR [FILES_PER_BATCH]
#   SSHLOGINFILE     GNU parallel's host list: one "[slots/]host" per line; ":" is this machine
#   FILELIST         the recordings, one path per line
#   SETTINGS         the user settings file with the band set (EQ index 0, or $TONVALE_EQ_INDEX)
#   REPORTDIR        where the plan, the per-batch summaries, the job log and the merged
#                    report.json go: a new or empty folder, one for each run
#   FILES_PER_BATCH  files per batch (default 50)
#   --transfer       the hosts share no file system: each batch's files are copied to the host,
#                    the outputs copied back beside their sources, and both removed there
#
# Each host needs the tonvale program on its PATH (or $TONVALE naming it). Every output is
# written beside its source under the usual name (NAME_filter.EXT). report.json lists every
# planned file; a file whose batch did not finish (killed, or its host lost) is failed with "no
# result: its batch did not finish". Its result is 1, and the exit status 0, only when every
# planned file converted; the exit status is 1 otherwise, and 2 when the run cannot start (a
# report folder that holds an earlier run is refused).
set -euo pipefail

transfer=0
if [[ "${1:-}" == "--transfer" ]]; then
  transfer=1
  shift
fi
if (($# < 4)); then
  sed -n '5,21p' "$0" >&2
  exit 2
fi
logins=$1
list=$2
settings=$3
reports=$4
per_batch=${5:-50}
tonvale=${TONVALE:-tonvale}
eq_index=${TONVALE_EQ_INDEX:-0}
here=$(cd "$(dirname "$0")" && pwd)

if [[ ! -s $list ]]; then
  echo "tonvale-cluster: $list names no file" >&2
  exit 2
fi
# One run per report folder, so that the merged report holds this run's batches and no other's.
# The plan (a copy of the list, which the batches read) claims the folder: of two runs started
# into one folder, only one creates it.
mkdir -p "$reports"
for earlier in "$reports/plan.txt" "$reports/joblog.txt" "$reports"/report*.json; do
  if [[ -e $earlier ]]; then
    echo "tonvale-cluster: $reports holds an earlier run ($earlier); give each run a report" \
      "folder of its own" >&2
    exit 2
  fi
done
if ! (set -o noclobber && : > "$reports/plan.txt") 2> /dev/null; then
  echo "tonvale-cluster: $reports holds an earlier run; give each run a report folder of its own" >&2
  exit 2
fi
cat -- "$list" > "$reports/plan.txt"

options=(--will-cite --sshloginfile "$logins" --jobs 1 -X -N "$per_batch" --halt never
         --joblog "$reports/joblog.txt")
if ((transfer)); then
  # The settings go to every host once; each source goes with its batch and its output comes
  # back; the copies on the host are removed after the batch.
  options+=(--basefile "$settings" --transferfile {} --return '{= s/(\.[^.\/]*)$/_filter$1/ =}'
            --return "$reports/report-{#}.json" --cleanup)
fi

status=0
parallel "${options[@]}" -a "$reports/plan.txt" \
  "$tonvale" /command "/access_setting:$settings" "/eq_index:$eq_index" /keep_going \
  "/report:$reports/report-{#}.json" "/convert_source:{}" || status=$?

# The summaries of this run's batches, merged with a failed entry for every planned file whose
# batch wrote none; the job log tells which files each batch was given.
merged=0
python3 "$here/merge-reports.py" --parallel-status "$status" --settings "$settings" \
  --eq-index "$eq_index" "$reports/plan.txt" "$reports/joblog.txt" "$reports" \
  > "$reports/report.json.tmp" || merged=$?
if ((merged > 1)); then
  rm -f "$reports/report.json.tmp"
  echo "tonvale-cluster: the batch summaries cannot be merged; see $reports" >&2
  exit 1
fi
mv "$reports/report.json.tmp" "$reports/report.json"
exit "$merged"
