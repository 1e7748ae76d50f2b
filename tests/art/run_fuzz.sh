#!/usr/bin/env bash
# Builds the art's libFuzzer target with clang in its own build folder and runs it for a short
# while (VELDAN_FUZZ_SECONDS, 20 by default), seeded with a few small tags. Succeeds without
# doing anything when clang is not installed; fails when the target finds a crash (the input is
# kept under fuzz-artifacts/).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${VELDAN_FUZZ_SECONDS:-20}"
build="${VELDAN_FUZZ_BUILD:-$root/build-fuzz}"
target=art_tag_picture_fuzz

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_fuzz: clang++ not found, skipped"
  exit 0
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVELDAN_FUZZ=ON >/dev/null
cmake --build "$build" --target "$target" -j2

corpus="$build/fuzz-corpus/$target"
artifacts="$build/fuzz-artifacts/$target/"
mkdir -p "$corpus" "$artifacts"
# Seeds: a 2.3 tag with a PNG front cover behind a Latin-1 description, and a 2.4 one whose
# unsynchronised frame holds a JPEG's start.
printf 'ID3\x03\x00\x00\x00\x00\x002APIC\x00\x00\x00\x28\x00\x00\x00image\x2fpng\x00\x03d\x00\x89PNG\x0d\x0a\x1a\x0a\x00\x00\x00\x0dIHDR\x00\x00\x00\x10\x00\x00\x00\x10\x08\x02' \
  >"$corpus/seed-23-png"
printf 'ID3\x04\x00\x00\x00\x00\x004APIC\x00\x00\x00\x2a\x00\x02\x00image\x2fjpeg\x00\x03\x00\xff\xd8\xff\x00\xe0\x00\x04\x00\x00\xff\xc0\x00\x11\x08\x00\x10\x00\x10\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01' \
  >"$corpus/seed-24-jpeg"
echo "== $target (${seconds}s) =="
if ! "$build/$target" -max_total_time="$seconds" -max_len=4096 -artifact_prefix="$artifacts" \
    "$corpus" >"$build/$target.log" 2>&1; then
  tail -n 40 "$build/$target.log"
  exit 1
fi
grep -E '^Done|#[0-9]+ *DONE' "$build/$target.log" | tail -n 1 || true
