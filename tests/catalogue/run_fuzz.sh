#!/usr/bin/env bash
# Builds the catalogue's libFuzzer targets with clang in their own build folder and runs each for
# a short while (VELDAN_FUZZ_SECONDS, 20 by default). Succeeds without doing anything when clang
# is not installed; fails when a target finds a crash (the input is kept under fuzz-artifacts/).
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
  artifacts="$build/fuzz-artifacts/$t/"
  mkdir -p "$corpus" "$artifacts"
  echo "== $t (${seconds}s) =="
  if ! "$build/$t" -max_total_time="$seconds" -max_len=4096 -artifact_prefix="$artifacts" \
      "$corpus" >"$build/$t.log" 2>&1; then
    tail -n 40 "$build/$t.log"
    status=1
  else
    grep -E '^Done|#[0-9]+ *DONE' "$build/$t.log" | tail -n 1 || true
  fi
done
exit $status
