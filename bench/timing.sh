# Helpers for the benchmark scripts (sourced): wall time of one command, and the median of
# numbers.

# Prints the seconds `"$@"` takes. Each run starts with nothing waiting to be written, so that
# one run's output is not flushed in the next one's time.
seconds() {
  local start end
  sync
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
