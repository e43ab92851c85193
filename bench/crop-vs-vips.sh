#!/usr/bin/env bash
# Times `clipora-cli crop` against libvips' `vips extract_area` (Debian's
# libvips-tools) cutting 1000 x 800 at (100, 100) out of a JPEG into a JPEG:
# RUNS runs of each (default 5), the median wall time, processor time (user
# plus system) and largest resident size, from /usr/bin/time -v.
# Usage: bench/crop-vs-vips.sh CLIPORA-CLI PICTURE.jpg [RUNS]
set -euo pipefail
cli=$1 picture=$2 runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
measure() {  # name command...
  local name=$1; shift
  : >"$work/runs"
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -v -o "$work/time" "$@" >/dev/null 2>&1
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); w = t[n] + (n > 1 ? 60 * t[n - 1] : 0) }
                /User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident/ { m = $2 }
                END { printf "%.3f %.3f %.1f\n", w, u + s, m / 1024 }' "$work/time" >>"$work/runs"
  done
  printf '%-14s wall %s s  cpu %s s  max RSS %s MiB   (runs: %s)\n' "$name" \
    "$(cut -d' ' -f1 "$work/runs" | median)" "$(cut -d' ' -f2 "$work/runs" | median)" \
    "$(cut -d' ' -f3 "$work/runs" | median)" "$(cut -d' ' -f1 "$work/runs" | paste -sd' ')"
}
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
measure clipora-cli "$cli" crop "$picture" "$work/out.jpg" 100 100 1100 900
measure vips vips extract_area "$picture" "$work/vips.jpg" 100 100 1000 800
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
