#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite,
# then again under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer (the CMake preset asan: the windows offscreen, the random-use
# test, the metafile player and the readers; not the desktop runs).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
jobs=$(nproc)

echo "== build and test =="
bash "$root/scripts/build.sh"
(cd "${CLIPORA_BUILD_DIR:-$root/build/dev}" && ctest --output-on-failure -j "$jobs")

echo "== the tests under sanitizers (preset asan) =="
(cd "$root" && cmake --preset asan >/dev/null && cmake --build --preset asan && ctest --preset asan -j "$jobs")

echo "== fuzz smoke: each reader for ${CLIPORA_FUZZ_SECONDS:-30}s =="
# A fixed seed keeps the smoke run repeatable; fuzz/run.sh alone picks a new one.
CLIPORA_FUZZ_SEED=${CLIPORA_FUZZ_SEED:-1} bash "$root/fuzz/run.sh" "${CLIPORA_FUZZ_SECONDS:-30}"
