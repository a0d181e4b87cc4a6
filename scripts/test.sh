#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test; then builds the
# core tests again under AddressSanitizer + UndefinedBehaviorSanitizer in a
# second build tree and runs them. Fails on any test failure or sanitizer report.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

echo "== Build and test (build/)"
"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure --parallel "$jobs"

echo "== Core tests under ASan + UBSan (build-sanitize/)"
"$root/scripts/build.sh" "$root/build-sanitize" -DSCRIVEL_SANITIZE=ON -DSCRIVEL_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$root/build-sanitize" --output-on-failure --parallel "$jobs" -L core
