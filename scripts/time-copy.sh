#!/bin/bash
# Times how soon another program receives a big copied picture as PNG:
# starts build/dev/bench/clipora-copy-server under a virtual X display,
# waits for its copy, waits DELAY seconds, then times
# `xclip -o -selection clipboard -t image/png` and checks the PNG it got.
#   bash scripts/time-copy.sh SIZE(12|96) DELAY [BUILD_DIR]
set -eu
size=${1:-12} delay=${2:-0} build=${3:-build/dev}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -eu
  "$1/bench/clipora-copy-server" "$2" 40 > "$4/server.log" 2>&1 &
  server=$!
  until grep -q copied "$4/server.log" 2>/dev/null; do sleep 0.01; done
  sleep "$3"
  start=$(date +%s.%N)
  xclip -o -selection clipboard -t image/png > "$4/got.png"
  end=$(date +%s.%N)
  python3 -c "import zlib,struct,sys
d=open(sys.argv[1],\"rb\").read()
assert d[:8]==b\"\\x89PNG\\r\\n\\x1a\\n\"
i=8; idat=b\"\"
while i<len(d):
    n=struct.unpack(\">I\",d[i:i+4])[0]; t=d[i+4:i+8]
    if t==b\"IDAT\": idat+=d[i+8:i+8+n]
    if t==b\"IHDR\": w,h=struct.unpack(\">II\",d[i+8:i+16])
    i+=12+n
assert len(zlib.decompress(idat))==h*(1+3*w)
print(\"PNG %dx%d, %.1f MB\" % (w,h,len(d)/1e6), end=\"; \")" "$4/got.png"
  echo "asked after ${3} s: received in $(echo "$end - $start" | bc) s"
  kill -TERM $server; wait $server || true
  grep longest "$4/server.log" | tail -1 || true
' _ "$build" "$size" "$delay" "$out"
