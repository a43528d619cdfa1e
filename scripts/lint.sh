#!/usr/bin/env bash
# Lint of the product code (app/ package/ picture/ platform/ res/ upgrade/ wizard/):
# clang-format's layout (.clang-format) and clang-tidy's checks (.clang-tidy).
# With file names, only those files; with --changed REF, the files that differ from REF.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh clang-format clang-tidy

product=(app package picture platform res upgrade wizard)
if [ "${1:-}" = "--changed" ]; then
  files=$(git diff --name-only --diff-filter=d "${2:?--changed needs a git revision}" -- "${product[@]}")
elif [ $# -gt 0 ]; then
  files=$(printf '%s\n' "$@")
else
  files=$(git ls-files -- "${product[@]}")
fi
files=$(grep -E '\.(cpp|h)$' <<<"$files" || true)
if [ -z "$files" ]; then
  echo "lint: no product code to check"
  exit 0
fi

status=0
# shellcheck disable=SC2086 # one name a line, none with blanks
clang-format --dry-run -Werror $files || status=1

# clang-tidy reads each source's flags from a configured build (no build needed).
build=${PELMO_LINT_BUILD:-build-lint}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
sources=$(grep '\.cpp$' <<<"$files" || true)
if [ -n "$sources" ]; then
  # shellcheck disable=SC2086
  run-clang-tidy -quiet -p "$build" -j"$(nproc)" $sources >"$build/clang-tidy.log" 2>&1 || status=1
  grep -E '(warning|error):' "$build/clang-tidy.log" | sort -u || true
fi
[ "$status" = 0 ] && echo "lint: clean"
exit "$status"
