#!/usr/bin/env bash
# Runs the GNU parallel cluster recipe on this machine (two local slots) over a small batch with
# a broken file in it, and checks every output against one single-process batch of the same
# files and the merged summary against the schema.
# Usage: cluster-recipe-test.sh TONVALE_EXE SOURCE_DIR
set -euo pipefail
exe=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir -p cluster single
cp "$exe" ./tonvale
cp "$source_dir/examples/speech-eq.cfg" speech.cfg
for i in 1 2 3 4 5 6; do
  sox -n -r 16000 -b 16 "cluster/take$i.wav" synth 0.$i pinknoise vol 0.3
done
sox -n -r 48000 -b 24 -c 2 "cluster/stereo 7.wav" synth 0.5 sine 200 vol 0.5
printf 'RIFF....WAVEjunk' > cluster/broken.wav
cp cluster/* single/
(cd cluster && ls) | sed 's|^|cluster/|' > list.txt
echo "2/:" > hosts.txt

status=0
TONVALE="$work/tonvale" bash "$source_dir/examples/cluster/tonvale-cluster.sh" \
  hosts.txt list.txt speech.cfg reports 3 > cluster.log 2>&1 || status=$?
[[ $status -ne 0 ]] || { echo "FAIL: a broken file must make the recipe fail"; exit 1; }

single_args=()
for f in single/*; do single_args+=("/convert_source:$f"); done
./tonvale /command /access_setting:speech.cfg /keep_going /jobs:1 "${single_args[@]}" \
  /report:single.json > single.log || true

count=0
for f in single/*_filter.*; do
  name=$(basename "$f")
  cmp "$f" "cluster/$name" || { echo "FAIL: cluster/$name differs"; exit 1; }
  count=$((count + 1))
done
[[ $count -eq 7 ]] || { echo "FAIL: $count outputs, 7 expected"; exit 1; }
[[ ! -e cluster/broken_filter.wav ]] || { echo "FAIL: an output for the broken file"; exit 1; }

python3 - "$source_dir/resources/batch-report.schema.json" reports/report.json single.json <<'PY'
import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
merged = json.load(open(sys.argv[2]))
single = json.load(open(sys.argv[3]))
jsonschema.validate(merged, schema, cls=jsonschema.Draft202012Validator)
assert (merged["files_total"], merged["files_converted"], merged["files_failed"]) == (8, 7, 1), merged
assert merged["result"] == 0
key = lambda f: f["source"].split("/")[-1]
mine = {key(f): (f["result"], f["samples"], f["clipped_samples"]) for f in merged["files"]}
theirs = {key(f): (f["result"], f["samples"], f["clipped_samples"]) for f in single["files"]}
assert mine == theirs, (mine, theirs)
PY
echo "cluster recipe: 7 outputs identical to the single-process run, summary valid"
