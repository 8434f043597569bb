#!/usr/bin/env bash
# End-to-end benchmark of `quillon release`, in one command:
#
#   bench/release-e2e/run.sh [--quick] [--sizes N,N,...] [--per-document N] [--rounds N] [--keep]
#
# Builds `quillon` and the benchmark in the default preset's build folder
# (build/, configured when missing), then generates the batch files and
# releases them with the real command; see release_e2e.cpp for what is run and
# printed. The full run (1,000 to 1,000,000 documents per batch, logging off
# and on, 10,000 documents per document, three rounds) needs about 20 GB of free disk in
# build/release-e2e-work (the 1,000,000-document batch file is 1.3 GB, its
# output 0.8 GB, its log with logging on much more) and takes about a quarter
# of an hour; --quick takes seconds.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/../.."
build="${QUILLON_BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake --preset default >/dev/null
fi
cmake --build "$build" --target quillon_cli release_e2e >/dev/null
exec "$build/bench/release-e2e/release_e2e" --work "$build/release-e2e-work" "$@"
