#!/usr/bin/env bash
# Runs a command under a private Xvfb display with twm, and GNUstep's user
# folders (defaults, services) in a temporary directory, where GNUstep draws
# its own window decorations (titlebar, close and miniaturise buttons).
#   scripts/run-under-xvfb.sh COMMAND [ARGS...]
# Ends only what it started: Xvfb and twm by pid, and any process that the
# command left behind (gdnc, gpbs...), found by a marker in its environment.
# When the X server goes away during the run it says so and fails, ending
# the command if it does not end by itself.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d /tmp/gnustep-run.XXXXXX)"
xvfb_pid="" twm_pid=""

# Processes whose environment holds our marker (so: started by the command).
marked_pids() {
  local p
  for p in /proc/[0-9]*; do
    [[ -r "$p/environ" ]] || continue
    p="${p#/proc/}"
    [[ "$p" == "$$" ]] && continue
    if grep -qzx "GNUSTEP_RUN_MARKER=$work" "/proc/$p/environ" 2>/dev/null; then
      echo "$p"
    fi
  done
}

alive() {  # running and not a zombie
  [[ -r "/proc/$1/stat" ]] && [[ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != "Z" ]]
}

cleanup() {
  local p left i
  left="$(marked_pids || true)"
  for p in $left; do
    echo "run-under-xvfb: ending leftover $(cat /proc/$p/comm 2>/dev/null || echo '?') (pid $p)" >&2
    kill "$p" 2>/dev/null || true
  done
  for p in $left; do  # gdnc takes a moment to go on SIGTERM
    for i in $(seq 40); do alive "$p" || break; sleep 0.05; done
    if alive "$p"; then kill -9 "$p" 2>/dev/null || true; fi
  done
  [[ -n "$twm_pid" ]] && kill "$twm_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
[[ -s "$work/display" ]] || { echo "run-under-xvfb: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

twm -display "$DISPLAY" -f "$here/twmrc" >"$work/twm.log" 2>&1 &
twm_pid=$!
sleep 0.3
kill -0 "$twm_pid" 2>/dev/null || { cat "$work/twm.log" >&2; exit 1; }

# GNUstep ignores HOME (it asks the password database): point its user
# folders at $work through a copy of the system configuration.
conf="$work/GNUstep.conf"
cp /etc/GNUstep/GNUstep.conf "$conf"
cat >>"$conf" <<CONF
GNUSTEP_USER_CONFIG_FILE=
GNUSTEP_USER_DEFAULTS_DIR=$work/Defaults
GNUSTEP_USER_DIR=$work/User
GNUSTEP_USER_DIR_LIBRARY=$work/User/Library
CONF
export GNUSTEP_CONFIG_FILE="$conf"
export GNUSTEP_RUN_MARKER="$work"
# GNUstep's own decorations: the frame view is GSStandardWindowDecorationView
# and standardWindowButton: answers its buttons. With the default (YES) the
# window manager draws the titlebar and there are no buttons to click.
mkdir -p "$work/Defaults"
cat >"$work/Defaults/NSGlobalDomain.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>GSBackHandlesWindowDecorations</key><false/></dict></plist>
PLIST

echo "run-under-xvfb: DISPLAY=$DISPLAY Xvfb pid $xvfb_pid, twm pid $twm_pid, GNUstep folders in $work" >&2
rc=0
"$@" &
command_pid=$!
ended=""
wait -n -p ended "$command_pid" "$xvfb_pid" || rc=$?
# The server may end first, or the command may end of the server's loss
# (its connection broken) while the server is still on its way out: a
# command that failed is given a second to tell which.
if [[ "$ended" == "$command_pid" && "$rc" -ne 0 ]]; then
  for _ in $(seq 20); do alive "$xvfb_pid" || break; sleep 0.05; done
fi
if [[ "$ended" != "$command_pid" ]] || ! alive "$xvfb_pid"; then
  echo "run-under-xvfb: the X server (Xvfb pid $xvfb_pid) went away during the run: failing" >&2
  xvfb_pid=""
  if [[ "$ended" != "$command_pid" ]]; then
    rc=0
    for _ in $(seq 100); do alive "$command_pid" || break; sleep 0.05; done
    if alive "$command_pid"; then
      echo "run-under-xvfb: the command (pid $command_pid) went on without a display: ending it" >&2
      kill "$command_pid" 2>/dev/null || true
    fi
    wait "$command_pid" || rc=$?
  fi
  [[ "$rc" -ne 0 ]] || rc=1
fi
left="$(marked_pids || true)"
if [[ -n "$left" ]]; then
  echo "run-under-xvfb: left running by the command: $(for p in $left; do printf '%s(%s) ' "$(cat /proc/$p/comm 2>/dev/null)" "$p"; done)" >&2
fi
echo "run-under-xvfb: files GNUstep wrote:" >&2
(cd "$work" && find . -path ./display -prune -o -type f -newer "$conf" -print | sed 's/^/  /') >&2
exit "$rc"
