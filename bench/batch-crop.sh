#!/usr/bin/env bash
# clipora-cli's batch crop with one worker and with two: 24 photo-like PNG
# pictures of 1600 x 1200 (gradients with noise), each cut to 1000 x 800 at
# (100, 100) into PNG. Usage: bench/batch-crop.sh [CLIPORA-CLI] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=${1:-$root/build/dev/tools/clipora-cli}
runs=${2:-5}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work" <<'PY'
import random, struct, sys
w, h = 1600, 1200
small = bytes(i % 7 for i in range(256))
for n in range(24):
    rnd = random.Random(n)
    rows = []
    for y in range(h - 1, -1, -1):  # bottom-up
        base = bytes(((x * (n + 1)) // 9 + y // 5 + (x // 3) * (c + 1)) & 255 for x in range(w) for c in range(3))
        noise = rnd.randbytes(3 * w).translate(small)
        rows.append(bytes((b + e) & 255 for b, e in zip(base, noise)))
    data = b"".join(rows)
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(f"{sys.argv[1]}/p{n:02d}.bmp", "wb").write(header + data)
PY
QT_QPA_PLATFORM=offscreen "$cli" convert --into "$work/png" --to png "$work"/p*.bmp 2>/dev/null
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
hyperfine --runs "$runs" --warmup 1 \
  --prepare "rm -rf '$work/out'" \
  -n 'jobs 1' "QT_QPA_PLATFORM=offscreen $cli crop --into $work/out --jobs 1 100 100 1100 900 $work/png/*.png" \
  -n 'jobs 2' "QT_QPA_PLATFORM=offscreen $cli crop --into $work/out --jobs 2 100 100 1100 900 $work/png/*.png"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
