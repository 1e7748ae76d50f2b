#!/usr/bin/env bash
# Builds the catalogue's libFuzzer targets with clang in their own build folder and runs each for
# a short while. Does nothing (and succeeds) when clang is not installed.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${VELDAN_FUZZ_SECONDS:-20}"
build="${VELDAN_FUZZ_BUILD:-$root/build-fuzz}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_fuzz: clang++ not found, skipped"
  exit 0
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVELDAN_FUZZ=ON >/dev/null
targets=(catalogue_path_rules_fuzz catalogue_list_lines_fuzz)
cmake --build "$build" --target "${targets[@]}" -j2

status=0
for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"
  mkdir -p "$corpus"
  echo "== $t (${seconds}s) =="
  (cd "$build" && "./$t" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 "$corpus" \
    2>&1 | tail -n 3) || status=1
  # A crash leaves crash-* in the build folder and a non-zero status from the fuzzer.
  if compgen -G "$build/crash-*" >/dev/null || compgen -G "$build/leak-*" >/dev/null; then
    status=1
  fi
done
exit $status
