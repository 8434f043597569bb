#!/usr/bin/env bash
# Fails when a tracked C++ file (*.h, *.cpp) is not formatted as .clang-format
# says. Fix with: clang-format -i <files>.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
formatter="${CLANG_FORMAT:-clang-format}"

mapfile -t files < <(git ls-files -- '*.h' '*.cpp')
if [ "${#files[@]}" -eq 0 ]; then
  echo "check-format: no C++ files"
  exit 0
fi
if "${formatter}" --dry-run --Werror "${files[@]}"; then
  echo "check-format: ${#files[@]} files formatted"
else
  echo "check-format: files above need clang-format -i" >&2
  exit 1
fi
