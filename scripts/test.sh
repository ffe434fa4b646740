#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, the default build
# with clang-tidy, and a second build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and one with ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
git ls-files '*.h' '*.cpp' | xargs clang-format --dry-run --Werror
for preset in default asan tsan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  if [ "$preset" = default ]; then
    git ls-files '*.cpp' | xargs clang-tidy -p build/default --quiet
  fi
done
