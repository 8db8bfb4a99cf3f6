#!/usr/bin/env bash
# Converts a list of recordings on several machines with GNU parallel: the list is cut into
# batches, each batch runs as one Tonvale batch (its files in parallel on the host's cores, a
# JSON summary of its own), and the summaries are merged into one at the end.
#
# Usage: tonvale-cluster.sh [--transfer] SSHLOGINFILE FILELIST SETTINGS REPORTDIR [FILES_PER_BATCH]
#   SSHLOGINFILE     GNU parallel's host list: one "[slots/]host" per line; ":" is this machine
#   FILELIST         the recordings, one path per line
#   SETTINGS         the user settings file with the band set (EQ index 0, or $TONVALE_EQ_INDEX)
#   REPORTDIR        where the per-batch summaries, the job log and the merged report.json go
#   FILES_PER_BATCH  files per batch (default 50)
#   --transfer       the hosts share no file system: each batch's files are copied to the host,
#                    the outputs copied back beside their sources, and both removed there
#
# Each host needs the tonvale program on its PATH (or $TONVALE naming it). Every output is
# written beside its source under the usual name (NAME_filter.EXT). The exit status is 0 when
# every file converted.
set -euo pipefail

transfer=0
if [[ "${1:-}" == "--transfer" ]]; then
  transfer=1
  shift
fi
if (($# < 4)); then
  sed -n '5,17p' "$0" >&2
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
mkdir -p "$reports"

options=(--will-cite --sshloginfile "$logins" --jobs 1 -X -N "$per_batch" --halt never
         --joblog "$reports/joblog.txt")
if ((transfer)); then
  # The settings go to every host once; each source goes with its batch and its output comes
  # back; the copies on the host are removed after the batch.
  options+=(--basefile "$settings" --transferfile {} --return '{= s/(\.[^.\/]*)$/_filter$1/ =}'
            --return "$reports/report-{#}.json" --cleanup)
fi

status=0
parallel "${options[@]}" -a "$list" \
  "$tonvale" /command "/access_setting:$settings" "/eq_index:$eq_index" /keep_going \
  "/report:$reports/report-{#}.json" "/convert_source:{}" || status=$?

# The batches' summaries in batch order (report-2 before report-10).
mapfile -t summaries < <(find "$reports" -maxdepth 1 -name 'report-*.json' | sort -V)
if ((${#summaries[@]} == 0)); then
  echo "tonvale-cluster: no batch wrote its summary; see $reports/joblog.txt" >&2
  exit 1
fi
python3 "$here/merge-reports.py" "${summaries[@]}" > "$reports/report.json.tmp"
mv "$reports/report.json.tmp" "$reports/report.json"
exit "$status"
