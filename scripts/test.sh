#!/usr/bin/env bash
# Builds Quillon and runs every test, twice:
#   1. the default preset (RelWithDebInfo, warnings as errors), then
#   2. the sanitize preset (Debug with AddressSanitizer + UndefinedBehaviorSanitizer).
# Installs the Debian packages it needs first. Stops at the first failing step
# with a non-zero exit; prints ctest's summary of each build at the end.
#
# QUILLON_JOBS sets the build and test parallelism (default 2).
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs="${QUILLON_JOBS:-2}"

bash scripts/install-deps.sh

# ---- extra test dependencies ------------------------------------------------
# Test tools that do not come as Debian packages (for example a checker of the
# X12 output installed from npm) are set up by scripts/install-test-deps.sh
# when the project has that script.
if [ -f scripts/install-test-deps.sh ]; then
  bash scripts/install-test-deps.sh
fi
# -----------------------------------------------------------------------------

summaries=()

run_preset() {
  local preset="$1"
  shift
  echo "==== ${preset}: configure"
  cmake --preset "${preset}" "$@"
  echo "==== ${preset}: build"
  cmake --build --preset "${preset}" --parallel "${jobs}"
  echo "==== ${preset}: test"
  local log
  log="$(mktemp)"
  local status=0
  ctest --preset "${preset}" --parallel "${jobs}" 2>&1 | tee "${log}" || status=$?
  summaries+=("${preset}: $(grep -E 'tests passed|tests failed' "${log}" | tail -n 1)")
  rm -f "${log}"
  if [ "${status}" -ne 0 ]; then
    echo "==== ${preset}: tests FAILED"
    printf '%s\n' "${summaries[@]}"
    exit "${status}"
  fi
}

run_preset default -DQUILLON_WERROR=ON
run_preset sanitize

echo "==== summary"
printf '%s\n' "${summaries[@]}"
