#!/usr/bin/env bash
# Builds Quillon and releases one of the bundled example batches into an X12
# 837 file:
#
#   scripts/run-example.sh [EXAMPLE]
#
# EXAMPLE names a folder of examples/: professional-claims (the default, ten
# CMS-1500 claim forms into an 837P) or institutional-claims (UB-04 forms into
# an 837I). Installs the Debian packages first (scripts/install-deps.sh),
# builds the default preset into build/, releases examples/EXAMPLE/batch.json
# and shows where the file went and its first segments. The examples'
# directories are relative, so everything lands below build/example-output/
# of the clone: out/ (the 837 files), work/ (files being built), logs/.
# Each run takes the next interchange control number of the example's batch
# class and writes a new file.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."

example="${1:-professional-claims}"
if [ "$#" -gt 1 ] || [[ ! "$example" =~ ^[A-Za-z0-9][A-Za-z0-9._-]*$ ]] ||
  [ ! -f "examples/$example/batch.json" ]; then
  echo "usage: scripts/run-example.sh [EXAMPLE]" >&2
  echo "EXAMPLE is one of: $(cd examples && ls -d -- */ | tr -d / | tr '\n' ' ')" >&2
  exit 2
fi

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default

out=build/example-output/out
mkdir -p "$out"
before="$(mktemp)"
trap 'rm -f "$before"' EXIT
ls -1 "$out" >"$before"

echo "==== quillon release examples/$example/batch.json"
build/quillon release "examples/$example/batch.json"

file="$(ls -1t "$out" | grep -vxF -f "$before" | head -n 1 || true)"
if [ -z "$file" ]; then
  echo "run-example: no new file in $out" >&2
  exit 1
fi
path="$out/$file"
echo "==== output file: $path ($(wc -c <"$path") bytes, $(tr -cd '~' <"$path" | wc -c) segments)"
echo "==== first 12 segments:"
awk 'BEGIN { RS = "~" } NR <= 12 { gsub(/[\r\n]/, ""); print $0 "~" }' "$path"

# With the node packages of the tests installed, check the file as well, with
# the checker of the implementation that the file names (837I: 005010X223A2).
if command -v node >/dev/null 2>&1 && [ -d tests/x12/node_modules/node-x12 ]; then
  checker=tests/x12/check-837p.js
  if grep -q '[*]005010X223A2~' "$path"; then
    checker=tests/x12/check-837i.js
  fi
  echo "==== X12 check (node-x12, $checker):"
  node "$checker" "$path"
fi
