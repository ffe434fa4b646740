#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev libutf8proc-dev
          liburiparser-dev libcairo2-dev libfontconfig-dev clang-format clang-tidy
          python3 libplist-utils
          # The AppKit backend, built against GNUstep (gnustep-config asks
          # make for its flags) and tested under a private X server and
          # window manager, clicked through XTest.
          make clang libgnustep-gui-dev gnustep-back0.29-cairo libblocksruntime-dev xvfb twm
          libxtst-dev
          # The fuzz targets: libFuzzer and the sanitizers' runtimes for clang.
          libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
apt-get update
# Only what is named: GNUstep's recommendations alone would bring speech
# recognition data and more to a bare machine.
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
