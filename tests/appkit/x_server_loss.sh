#!/usr/bin/env bash
# The X server going away in the middle of a test: the runner says so and
# fails, nothing hangs, and nothing it started is left running.
#   tests/appkit/x_server_loss.sh RUNNER APPKIT_TESTS
set -uo pipefail
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
fail() { echo "x_server_loss: $*" >&2; exit 1; }

TOVIK_END_X_SERVER=1 timeout 60 "$1" "$2" --gtest_filter='XServerLoss.*' >"$out" 2>&1
rc=$?
cat "$out"
[[ $rc -ne 124 ]] || fail "the run did not end within 60 s"
[[ $rc -ne 0 ]] || fail "the runner succeeded though its X server went away"
grep -q "the X server (Xvfb pid [0-9]*) went away during the run" "$out" ||
  fail "the runner did not say that the X server went away"
started="$(sed -n 's/.*Xvfb pid \([0-9]*\), twm pid \([0-9]*\),.*/\1 \2/p' "$out")
$(sed -n 's/.*ending leftover .* (pid \([0-9]*\))$/\1/p' "$out")"
for pid in $started; do
  if [[ -e "/proc/$pid" && "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" != Z ]]; then
    fail "pid $pid ($(cat "/proc/$pid/comm" 2>/dev/null)) is still running"
  fi
done
echo "x_server_loss: the runner failed, said why, and left nothing running"
