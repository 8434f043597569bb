#!/usr/bin/env bash
# Pictures of the four tabs of the setup window, with the bundled example
# loaded, for docs/setup.md: docs/images/setup-general.png,
# setup-data-mappings.png, setup-field-mappings.png, setup-output-data.png.
#
# Runs on Qt's offscreen platform (no display needed). Builds the window's
# test program of the default preset when it is missing; BUILD_DIR names
# another build folder. The sample values are those of the example batch's
# first document.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${BUILD_DIR:-build}"
program="${build}/tests/setup_window_tests"

if [ ! -x "${program}" ]; then
  cmake --preset default
  cmake --build "${build}" --parallel "${QUILLON_JOBS:-2}" --target setup_window_tests
fi

mkdir -p docs/images
QT_QPA_PLATFORM=offscreen "${program}" --screenshots docs/images \
  examples/professional-claims/batch-class.json examples/professional-claims/batch.json
