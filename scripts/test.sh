#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite,
# then the window-free tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
jobs=$(nproc)

echo "== build and test =="
bash "$root/scripts/build.sh"
(cd "${CLIPORA_BUILD_DIR:-$root/build/dev}" && ctest --output-on-failure -j "$jobs")

echo "== window-free tests under sanitizers =="
asan=$root/build/asan
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCLIPORA_SANITIZE=ON -DCLIPORA_CORE_ONLY=ON >/dev/null
cmake --build "$asan"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

echo "== fuzz smoke: each reader for ${CLIPORA_FUZZ_SECONDS:-30}s =="
# A fixed seed keeps the smoke run repeatable; fuzz/run.sh alone picks a new one.
CLIPORA_FUZZ_SEED=${CLIPORA_FUZZ_SEED:-1} bash "$root/fuzz/run.sh" "${CLIPORA_FUZZ_SECONDS:-30}"
