#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, the default build
# with clang-tidy, the kit as a host developer uses it, a second build with
# AddressSanitizer and UndefinedBehaviorSanitizer, one with ThreadSanitizer,
# and the AppKit backend's build against GNUstep, whose tests start and stop
# their own X server (scripts/run-under-xvfb.sh) and load the bundle as built
# and as installed; then the Mac's build is generated and checked, and the
# fuzz targets are each run over their corpus and fuzz for a short fixed
# time. Works from a source tarball as well as from a clone: the project's
# files are found on disk, not asked of a version-control system.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The project's C++ files: everything but build output.
sources() {
  find . \( -path ./build -o -path ./.git \) -prune -o -type f \( "$@" \) -print0 | sort -z
}

# The kit: installed into an empty prefix (the README's "$HOME/tovik-kit",
# with HOME a temporary folder), the example project built with CMake against
# it (with the project's warnings and clang-tidy) and run, and the README's
# pkg-config recipe run exactly as the README prints it, on the example's
# first test.
check_kit() {
  local example=examples/host-chrome-test
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir "$work/home" "$work/recipe"
  cmake --install build/default --prefix "$work/home/tovik-kit"
  cmake -S "$example" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$work/home/tovik-kit" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic -Werror" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  cmake --build "$work/cmake"
  ctest --test-dir "$work/cmake" --output-on-failure
  clang-tidy -p "$work/cmake" --quiet "$example"/*.cpp

  local recipe
  recipe=$(awk '/<!-- check_kit runs this block/ { found = 1; next }
                found && /^```sh$/ { inside = 1; next }
                inside && /^```$/ { exit }
                inside { print }' README.md)
  [ -n "$recipe" ] || { echo "README.md: no pkg-config recipe found" >&2; return 1; }
  cp "$example/first_test.cpp" "$work/recipe/my_test.cpp"
  (cd "$work/recipe" && env -u PKG_CONFIG_PATH HOME="$work/home" bash -euo pipefail -c "$recipe")
}

# The bundle as `cmake --install` gives it to a host, loaded by the same
# Cocoa host test as the built one.
check_installed_bundle() {
  local prefix
  prefix=$(mktemp -d)
  cmake --install build/appkit --prefix "$prefix"
  TOVIK_BUNDLE_PATH="$prefix/PlugIns/TovikMacPlugin.bundle" \
    scripts/run-under-xvfb.sh build/appkit/tests/appkit/appkit_bundle_tests --gtest_brief=1
  rm -rf "$prefix"
}

sources -name '*.h' -o -name '*.cpp' -o -name '*.mm' | xargs -0 clang-format --dry-run --Werror
for preset in default asan tsan appkit; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  if [ "$preset" = default ]; then
    # The examples are projects of their own, checked against the installed
    # kit; the AppKit backend's and the fuzz targets' files with their own
    # builds below.
    sources -name '*.cpp' -not -path './examples/*' -not -path './fuzz/*' \
      -not -path './platform/appkit/*' |
      xargs -0 clang-tidy -p build/default --quiet
    check_kit
  fi
  if [ "$preset" = appkit ]; then
    sources -name '*.cpp' -path './platform/appkit/*' | xargs -0 clang-tidy -p build/appkit --quiet
    check_installed_bundle
    scripts/check-mac-build.sh
  fi
done
# The fuzz targets (clang, libFuzzer): a known input that fails fails here.
cmake --preset fuzz
cmake --build --preset fuzz
sources -path './fuzz/*' -name '*.cpp' | xargs -0 clang-tidy -p build/fuzz --quiet
scripts/fuzz.sh 25
