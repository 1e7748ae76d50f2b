#!/usr/bin/env bash
# Builds the decoder's libFuzzer target with clang and runs it for a while (default 20 s),
# seeded with the small test fixtures. Usage: scripts/fuzz_decoder.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELDAN_FUZZ=ON >/dev/null
cmake --build build-fuzz --target decoder_fuzz fixtures -j2
corpus=build-fuzz/fuzz-corpus
mkdir -p "$corpus"
find build-fuzz/fixtures -name '*.mp3' -size -40k -exec cp -n {} "$corpus" \;
build-fuzz/decoder_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -artifact_prefix=build-fuzz/ \
  -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
