#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, the default build
# with clang-tidy, and a second build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and one with ThreadSanitizer. Works from a
# source tarball as well as from a clone: the project's files are found on
# disk, not asked of a version-control system.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The project's C++ files: everything but build output.
sources() {
  find . \( -path ./build -o -path ./.git \) -prune -o -type f \( "$@" \) -print0 | sort -z
}
sources -name '*.h' -o -name '*.cpp' | xargs -0 clang-format --dry-run --Werror
for preset in default asan tsan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  if [ "$preset" = default ]; then
    sources -name '*.cpp' | xargs -0 clang-tidy -p build/default --quiet
  fi
done
