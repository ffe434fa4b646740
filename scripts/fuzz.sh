#!/usr/bin/env bash
# Runs the fuzz targets built by the fuzz preset: each first over its seed
# corpus (fuzz/corpus/<target>), so a regression on a known input fails at
# once, then fuzzing for SECONDS (default 25) with what it finds kept in
# build/fuzz/corpus/<target>. Fails when a target finds a crash, a leak or a
# broken check; the input that did it is left in build/fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Fuzz for longer by giving more seconds (or run a target by hand, as the
# README shows). Each target prints libFuzzer's closing figures.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-25}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(binary_property_list_fuzzer xml_property_list_fuzzer user_defaults_fuzzer
           notification_settings_fuzzer titlebar_hit_test_fuzzer)
fi
mkdir -p build/fuzz/artifacts
for target in "${targets[@]}"; do
  found=build/fuzz/corpus/$target
  mkdir -p "$found"
  log=build/fuzz/$target.log
  echo "== $target: ${seconds}s"
  # -close_fd_mask=2: the targets' own standard error (the store's notes on
  # files it keeps aside) is dropped; libFuzzer's and the sanitizers'
  # reports still print.
  if ! "build/fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target-" \
      "$found" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$target failed; the input is in build/fuzz/artifacts/" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$log" || true
  grep -E '^stat::number_of_executed_units' "$log" || true
done
