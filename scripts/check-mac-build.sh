#!/usr/bin/env bash
# Generates the macos preset's build here, on Linux, as a Mac would configure
# it (the compilers are not run: there is no macOS SDK), and checks what the
# build would make: TovikMacPlugin.bundle/Contents/MacOS/TovikMacPlugin for
# arm64 and x86_64 with macOS 14.0 as its target, linked with AppKit and
# Foundation from the Mac's own sources, its Info.plist, and tests that run
# in the logged-in session, without an X server.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/macos-generate
fail() { echo "check-mac-build: $*" >&2; exit 1; }

# GoogleTest and threads as this machine has them, for the tests' targets.
cmake --preset macos-generate -DGTest_DIR="/usr/lib/$(gcc -print-multiarch)/cmake/GTest" \
  -DCMAKE_HAVE_LIBC_PTHREAD=ON >"$dir.log" 2>&1 || { cat "$dir.log" >&2; fail "did not generate"; }

bundle=plugin/TovikMacPlugin.bundle
link=$(grep -A8 "^build $bundle/Contents/MacOS/TovikMacPlugin:" "$dir/build.ninja") ||
  fail "no rule makes $bundle/Contents/MacOS/TovikMacPlugin"
for flag in "-arch arm64" "-arch x86_64" "-mmacosx-version-min=14.0" "-framework AppKit" \
            "-framework Foundation"; do
  grep -qF -- "$flag" <<<"$link" || fail "the bundle is not linked with $flag"
done
for source in mac/weak.mm mac/main_queue.mm mac/delegate_protocols.mm; do
  grep -qF "$source" "$dir/build.ninja" || fail "$source is not compiled"
done
! grep -qE "gnustep/|fobjc-runtime=gcc" "$dir/build.ninja" || fail "GNUstep's sources or flags are used"

python3 - "$dir/$bundle/Contents/Info.plist" <<'PY'
import plistlib, sys
info = plistlib.load(open(sys.argv[1], "rb"))
want = {"CFBundleExecutable": "TovikMacPlugin", "CFBundlePackageType": "BNDL",
        "NSPrincipalClass": "TovikMacWindowPlugin", "LSMinimumSystemVersion": "14.0"}
wrong = {k: info.get(k) for k, v in want.items() if info.get(k) != v}
if wrong or not info.get("CFBundleIdentifier") or not info.get("CFBundleVersion"):
    sys.exit(f"check-mac-build: Info.plist: {wrong or 'no identifier or version'}")
PY

! grep -q "run-under-xvfb" "$dir/tests/appkit/CTestTestfile.cmake" ||
  fail "the tests would run under Xvfb on a Mac"
echo "check-mac-build: the Mac's build generates TovikMacPlugin.bundle for arm64 and x86_64, macOS 14.0"
