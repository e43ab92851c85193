#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 30)
# on a copy of its seed corpus. Usage: fuzz/run.sh [SECONDS] [TARGET...]
# Findings (crash-*, timeout-*, oom-*) are left in build/fuzz/findings/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-30}; shift || true
build=$root/build/fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCLIPORA_FUZZ=ON -DCLIPORA_BUILD_TESTS=OFF -DCLIPORA_BUILD_BENCH=OFF >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=()
  for seeds in "$root"/fuzz/corpus/*/; do targets+=("fuzz_$(basename "$seeds")"); done
fi
cmake --build "$build" --target "${targets[@]}"
mkdir -p "$build/findings"
status=0
for t in "${targets[@]}"; do
  kind=${t#fuzz_}
  work=$build/corpus/$kind
  mkdir -p "$work"
  echo "== $t for ${seconds}s =="
  if ! (cd "$build/findings" && LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp" QT_QPA_PLATFORM=offscreen "$build/fuzz/$t" -max_total_time="$seconds" -seed="${CLIPORA_FUZZ_SEED:-0}" \
        -timeout=60 -rss_limit_mb=3000 -max_len=65536 -print_final_stats=1 "$work" "$root/fuzz/corpus/$kind" \
        2>&1 | grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' ); then
    :
  fi
  if ls "$build/findings"/crash-* "$build/findings"/timeout-* "$build/findings"/oom-* >/dev/null 2>&1; then
    echo "$t: findings in $build/findings"; status=1
  fi
done
exit $status
