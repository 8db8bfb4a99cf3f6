# Helpers for the benchmark scripts (sourced): the programs they time, wall time of one command,
# and the median of numbers.

# Installs what the benchmarks need and builds the program and the band-set writer into build/.
build_bench_programs() {
  bash scripts/deps.sh bench
  cmake -S . -B build -G Ninja -DTONVALE_BENCH=ON > /dev/null
  cmake --build build --target tonvale print_biquads > /dev/null
}

# Prints the seconds `"$@"` takes. No `sync` before the run: a user's runs follow each other
# with the last one's writes still going to the disk, and the runs of peers interleave, so that
# each side carries its share of them.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

# Prints the median of its arguments.
median() {
  printf '%s\n' "$@" | sort -g |
    awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'
}
