#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

# The window-action test needs a virtual screen with openbox on it.
bash scripts/install-deps.sh xvfb openbox x11-utils

build=${PELMO_TEST_BUILD:-build-test}
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELMO_SANITIZE=ON -DPELMO_WERROR="$werror" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# A short fuzzing run of every parser of outside input (about 2 minutes): in CI,
# or when PELMO_FUZZ_SECONDS gives the seconds per target (0 skips it).
fuzz_seconds=${PELMO_FUZZ_SECONDS:-}
[ -z "$fuzz_seconds" ] && [ "${CI:-}" = "true" ] && fuzz_seconds=15
if [ -n "$fuzz_seconds" ] && [ "$fuzz_seconds" != 0 ]; then
  FUZZ_SECONDS=$fuzz_seconds bash scripts/fuzz.sh
fi
