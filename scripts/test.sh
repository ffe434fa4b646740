#!/usr/bin/env bash
# Sets up, builds and runs every test: the default build, a second build
# with AddressSanitizer and UndefinedBehaviorSanitizer, and the format check.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
git ls-files '*.h' '*.cpp' | xargs clang-format --dry-run --Werror
for preset in default asan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
