#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (address and
# undefined-behaviour sanitizers on) into build-fuzz, then runs each for
# SECONDS (default 60), growing its corpus in tests/fuzz/corpus/TARGET/.
# A finding is left in build-fuzz/findings/TARGET/ and fails the run; the
# corpus is minimised afterwards (-merge=1), so it keeps only inputs that
# add coverage.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
"$root/scripts/setup.sh" --fuzz
dir="$root/build-fuzz"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${launcher[@]}" -DWYC_FUZZ=ON -DWYC_TESTS=OFF -DWYC_BENCH=OFF -DWYC_GUI=OFF >/dev/null
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for c in "$root"/tests/fuzz/*_fuzz.cpp; do
    t="$(basename "$c" _fuzz.cpp)"
    # The server's target exists only where the server is built.
    if [ "$t" != server ] || grep -q 'WYC_SERVER:BOOL=ON' "$dir/CMakeCache.txt"; then targets+=("$t"); fi
  done
fi
ninja -C "$dir" "${targets[@]/#/fuzz_}"
failed=0
for t in "${targets[@]}"; do
  corpus="$root/tests/fuzz/corpus/$t"
  work="$dir/corpus/$t"
  findings="$dir/findings/$t"
  mkdir -p "$corpus" "$work" "$findings"
  echo "== $t: ${seconds}s"
  # New inputs go to a scratch folder; the kept corpus is the merge of both.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$dir/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$corpus" \
    2>"$dir/fuzz_$t.log"; then
    echo "   finding: see $dir/fuzz_$t.log and $findings/"
    failed=1
  fi
  grep -E '^(#[0-9]+.*(DONE|pulse)|stat::)' "$dir/fuzz_$t.log" | tail -n 6 || true
  merged="$dir/merged/$t"
  rm -rf "$merged" && mkdir -p "$merged"
  "$dir/fuzz_$t" -merge=1 -timeout=10 -rss_limit_mb=2048 "$merged" "$corpus" "$work" \
    2>>"$dir/fuzz_$t.log" >/dev/null
  rm -f "$corpus"/* && cp "$merged"/* "$corpus"/
  echo "   corpus: $(ls "$corpus" | wc -l) files, $(du -sk "$corpus" | cut -f1) KB"
done
exit "$failed"
