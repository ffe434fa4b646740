#!/usr/bin/env bash
# Instructions per operation of every figure of a benchmark, each of its
# sides (its real side, its plain model and, where it has one, the system's
# own), counted exactly by callgrind, and the real side's ratio to each.
#
#   scripts/callgrind-ratios.sh [figure-regex]
#   BENCH=build/appkit/bench/appkit/click_bench \
#     scripts/run-under-xvfb.sh scripts/callgrind-ratios.sh   # the AppKit backend's clicks
#
# Each side runs in a process of its own, in the benchmark's driver mode:
# the figure is set up (and its sides checked to answer alike), warmed up,
# and then its operations run inside functions named tovikMeasured*, the
# only code callgrind collects in (on every thread).
# Environment: BENCH (the binary; default build/default/bench/hittest_bench),
# OPERATIONS (per side; default 20000).
# A developer tool: it needs valgrind (sudo apt-get install valgrind).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench=${BENCH:-$root/build/default/bench/hittest_bench}
operations=${OPERATIONS:-20000}
filter=${1:-}

if ! command -v valgrind >/dev/null; then
  echo "valgrind is needed: sudo apt-get install valgrind" >&2
  exit 1
fi
if [ ! -x "$bench" ]; then
  echo "no $bench; build first: cmake --build --preset default" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Callgrind needs the symbols alone, and this valgrind cannot read the DWARF 5
# that clang writes: it runs a copy without the debugging information.
cp "$bench" "$work/bench"
strip --strip-debug "$work/bench"

# Prints "<instructions> <operations>" for one figure's side.
count() {
  local figure=$1 side=$2 out="$work/$1.$2.callgrind" log="$work/$1.$2.log"
  if ! valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
      --toggle-collect='*tovikMeasured*' \
      "$work/bench" --figure="$figure" --side="$side" --operations="$operations" >"$log" 2>&1; then
    echo "$figure/$side failed:" >&2
    cat "$log" >&2
    return 1
  fi
  local instructions ran
  instructions=$(awk '/^(totals|summary):/ { print $2; exit }' "$out")
  ran=$(sed -n 's/.*operations=\([0-9]*\).*/\1/p' "$log")
  if [ -z "$instructions" ] || [ -z "$ran" ]; then
    echo "$figure/$side: no count in the output" >&2
    return 1
  fi
  echo "$instructions $ran"
}

# The sides the benchmark measures, its real side first.
listed=$("$bench" --list-sides)
mapfile -t sides <<<"$listed"
declare -A ir
header=$(printf '%-44s' "figure (Ir per op)")
for side in "${sides[@]}"; do header+=$(printf ' %12s' "$side"); done
for side in "${sides[@]:1}"; do header+=$(printf ' %13s' "real/$side"); done
echo "$header"
row() {  # figure, then one count per side
  local figure=$1 line
  shift
  line=$(printf '%-44s' "$figure")
  for value in "$@"; do line+=$(printf ' %12.1f' "$value"); done
  for value in "${@:2}"; do
    line+=$(awk -v r="$1" -v o="$value" 'BEGIN { printf " %12.2fx", (o > 0 ? r / o : 0) }')
  done
  echo "$line"
}
for figure in $("$bench" --list-figures); do
  if [ -n "$filter" ] && ! [[ $figure =~ $filter ]]; then continue; fi
  values=()
  for side in "${sides[@]}"; do
    counted=$(count "$figure" "$side")
    read -r instructions ran <<<"$counted"
    ir[$figure/$side]=$(awk -v i="$instructions" -v o="$ran" 'BEGIN { printf "%.3f", i / o }')
    values+=("${ir[$figure/$side]}")
  done
  row "$figure" "${values[@]}"
done

# What one nested view of a replaced class adds to a click: the slope from
# depth 1 to depth 16.
slope() {
  local figures=$1 name=$2 values=()
  for side in "${sides[@]}"; do
    local shallow=${ir[${figures}_d1/$side]:-} deep=${ir[${figures}_d16/$side]:-}
    if [ -z "$shallow" ] || [ -z "$deep" ]; then return; fi
    values+=("$(awk -v a="$shallow" -v b="$deep" 'BEGIN { print (b - a) / 15 }')")
  done
  row "$name (d16-d1)/15" "${values[@]}"
}
slope click_levels per_overridden_level
slope click_levels_configured per_overridden_level_configured
slope click per_nested_level
