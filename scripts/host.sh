#!/usr/bin/env bash
# Sets up, builds and runs the headless host: only the host and the plug-in
# module it loads are built, not the tests and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default
cmake --build --preset default --target tovik-host
build/default/host/tovik-host "$@"
