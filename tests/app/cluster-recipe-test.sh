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

recipe() {
  bash "$source_dir/examples/cluster/tonvale-cluster.sh" hosts.txt "$@"
}
summary() { # FILE: "total converted failed result" of a merged report, checked against the schema
  python3 - "$source_dir/resources/batch-report.schema.json" "$1" <<'PY'
import json, sys, jsonschema
report = json.load(open(sys.argv[2]))
jsonschema.validate(report, json.load(open(sys.argv[1])), cls=jsonschema.Draft202012Validator)
print(report["files_total"], report["files_converted"], report["files_failed"], report["result"])
PY
}

# A second run into the same report folder is refused and leaves the first run's report alone.
cp reports/report.json first.json
mkdir again
for i in 1 2 3; do cp "cluster/take$i.wav" again/; done
(cd again && ls) | sed 's|^|again/|' > again.txt
status=0
TONVALE="$work/tonvale" recipe again.txt speech.cfg reports 3 > again.log 2>&1 || status=$?
[[ $status -eq 2 ]] || { echo "FAIL: a rerun into one report folder gave status $status"; exit 1; }
grep -q "holds an earlier run" again.log || { echo "FAIL: the refusal does not say why"; exit 1; }
cmp first.json reports/report.json || { echo "FAIL: the refused rerun changed report.json"; exit 1; }
[[ ! -e again/take1_filter.wav ]] || { echo "FAIL: the refused rerun converted"; exit 1; }

# The same three files into a folder of their own: every file converted, result 1, status 0.
status=0
TONVALE="$work/tonvale" recipe again.txt speech.cfg reports-again 3 > again.log 2>&1 || status=$?
[[ $status -eq 0 ]] || { echo "FAIL: a clean run gave status $status"; cat again.log; exit 1; }
[[ $(summary reports-again/report.json) == "3 3 0 1" ]] || { echo "FAIL: clean summary"; exit 1; }

# Ten files in batches of three; the batch holding a05 converts its first file and is then
# killed (SIGKILL) before it writes its summary.
mkdir killed
for i in 01 02 03 04 05 06 07 08 09 10; do cp cluster/take1.wav "killed/a$i.wav"; done
(cd killed && ls) | sed 's|^|killed/|' > killed.txt
cat > dying-tonvale.sh <<'SH'
#!/usr/bin/env bash
if [[ " $* " == *" /convert_source:killed/a05.wav "* ]]; then
  first=()
  for arg in "$@"; do [[ $arg == /report:* ]] || first+=("$arg"); done
  "$REAL_TONVALE" "${first[@]:0:5}" > /dev/null || true
  kill -KILL $$
fi
exec "$REAL_TONVALE" "$@"
SH
chmod +x dying-tonvale.sh
status=0
REAL_TONVALE="$work/tonvale" TONVALE="$work/dying-tonvale.sh" \
  recipe killed.txt speech.cfg reports-killed 3 > killed.log 2>&1 || status=$?
[[ $status -eq 1 ]] || { echo "FAIL: a killed batch gave status $status"; cat killed.log; exit 1; }
[[ -e killed/a04_filter.wav && ! -e killed/a05_filter.wav ]] ||
  { echo "FAIL: the batch was not killed where planned"; exit 1; }
[[ $(summary reports-killed/report.json) == "10 7 3 0" ]] ||
  { echo "FAIL: killed run summary $(summary reports-killed/report.json)"; exit 1; }
python3 - reports-killed/report.json <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
assert [f["source"] for f in files] == [f"killed/a{i:02}.wav" for i in range(1, 11)], files
for f in files:
    killed = f["source"] in ("killed/a04.wav", "killed/a05.wav", "killed/a06.wav")
    assert (f["result"], f["error"]) == (
        ("failed", "no result: its batch did not finish") if killed else ("converted", None)), f
PY
echo "cluster recipe: 7 outputs identical to the single-process run, summary valid; a rerun" \
  "refused, a clean run and a killed batch reported as they ended"
