#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, the default build
# with clang-tidy, the kit as a host developer uses it, a second build with
# AddressSanitizer and UndefinedBehaviorSanitizer, one with ThreadSanitizer,
# the AppKit backend's build against GNUstep, whose tests start and stop
# their own X server (scripts/run-under-xvfb.sh), and the fuzz targets, each
# run over its corpus and fuzzing for a short fixed time. Works from a source tarball
# as well as from a clone: the project's files are found on disk, not asked
# of a version-control system.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The project's C++ files: everything but build output.
sources() {
  find . \( -path ./build -o -path ./.git \) -prune -o -type f \( "$@" \) -print0 | sort -z
}

# The kit: installed into an empty prefix, the example project built with
# CMake against it (with the project's warnings and clang-tidy) and run, and
# its test built once more through pkg-config and run.
check_kit() {
  local example=examples/host-chrome-test
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cmake --install build/default --prefix "$work/prefix"
  cmake -S "$example" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic -Werror" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  cmake --build "$work/cmake"
  ctest --test-dir "$work/cmake" --output-on-failure
  clang-tidy -p "$work/cmake" --quiet "$example"/*.cpp

  local pc
  pc=$(find "$work/prefix" -name tovik-platform.pc)
  export PKG_CONFIG_PATH=${pc%/*}
  # shellcheck disable=SC2046 # pkg-config's flags are meant to split
  g++ -Wall -Wextra -Wpedantic -Werror "$example"/*.cpp -o "$work/pkg-config-test" \
    -DTOVIK_MODULE_PATH="\"$(pkg-config --variable=module tovik-platform)\"" \
    $(pkg-config --cflags --libs tovik-platform gtest_main) \
    -Wl,-rpath,"$(pkg-config --variable=libdir tovik-platform)"
  "$work/pkg-config-test" --gtest_brief=1
}

sources -name '*.h' -o -name '*.cpp' -o -name '*.mm' | xargs -0 clang-format --dry-run --Werror
for preset in default asan tsan appkit; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  if [ "$preset" = default ]; then
    # The examples are projects of their own, checked against the installed
    # kit; the fuzz targets are checked with their own build below.
    sources -name '*.cpp' -not -path './examples/*' -not -path './fuzz/*' |
      xargs -0 clang-tidy -p build/default --quiet
    check_kit
  fi
done
# The fuzz targets (clang, libFuzzer): a known input that fails fails here.
cmake --preset fuzz
cmake --build --preset fuzz
sources -path './fuzz/*' -name '*.cpp' | xargs -0 clang-tidy -p build/fuzz --quiet
scripts/fuzz.sh 25
