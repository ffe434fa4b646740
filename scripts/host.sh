#!/usr/bin/env bash
# Sets up, builds and runs the headless host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default
cmake --build --preset default
build/default/host/tovik-host "$@"
