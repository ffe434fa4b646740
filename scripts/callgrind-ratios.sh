#!/usr/bin/env bash
# Instructions per operation of every figure of bench/hittest_bench, its real
# side and its plain model, counted exactly by callgrind, and their ratio.
#
#   scripts/callgrind-ratios.sh [figure-regex]
#
# Each side runs in a process of its own, in the benchmark's driver mode:
# the figure is set up (and its model checked against the real answers),
# warmed up, and then its operations run inside functions named
# tovikMeasured*, the only code callgrind collects in (on every thread).
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

# Prints "<instructions> <operations>" for one figure's side.
count() {
  local figure=$1 side=$2 out="$work/$1.$2.callgrind" log="$work/$1.$2.log"
  if ! valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
      --toggle-collect='*tovikMeasured*' \
      "$bench" --figure="$figure" --side="$side" --operations="$operations" >"$log" 2>&1; then
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

declare -A real model
printf '%-44s %14s %14s %8s\n' "figure (per op)" "real Ir" "model Ir" "ratio"
row() {
  awk -v f="$1" -v r="$2" -v m="$3" \
    'BEGIN { printf "%-44s %14.1f %14.1f %7.2fx\n", f, r, m, (m > 0 ? r / m : 0) }'
}
for figure in $("$bench" --list-figures); do
  if [ -n "$filter" ] && ! [[ $figure =~ $filter ]]; then continue; fi
  read -r ri ro <<<"$(count "$figure" real)"
  read -r mi mo <<<"$(count "$figure" model)"
  real[$figure]=$(awk -v i="$ri" -v o="$ro" 'BEGIN { printf "%.3f", i / o }')
  model[$figure]=$(awk -v i="$mi" -v o="$mo" 'BEGIN { printf "%.3f", i / o }')
  row "$figure" "${real[$figure]}" "${model[$figure]}"
done

# What one nested view of a replaced class adds to a click: the slope from
# depth 1 to depth 16.
slope() {
  local figures=$1 name=$2
  if [ -n "${real[${figures}_d1]:-}" ] && [ -n "${real[${figures}_d16]:-}" ]; then
    row "$name (d16-d1)/15" \
      "$(awk -v a="${real[${figures}_d1]}" -v b="${real[${figures}_d16]}" 'BEGIN { print (b - a) / 15 }')" \
      "$(awk -v a="${model[${figures}_d1]}" -v b="${model[${figures}_d16]}" 'BEGIN { print (b - a) / 15 }')"
  fi
}
slope click_levels per_overridden_level
slope click_levels_configured per_overridden_level_configured
