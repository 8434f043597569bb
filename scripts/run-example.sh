#!/usr/bin/env bash
# Builds Quillon and releases the bundled example batch: ten CMS-1500 claim
# forms (examples/professional-claims) become one X12 837P file.
#
#   scripts/run-example.sh
#
# Installs the Debian packages first (scripts/install-deps.sh), builds the
# default preset into build/, releases examples/professional-claims/batch.json
# and shows where the file went and its first segments. The example's
# directories are relative, so everything lands below build/example-output/
# of the clone: out/ (the 837P files), work/ (files being built), logs/.
# Each run takes the next interchange control number and writes a new file.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default

out=build/example-output/out
mkdir -p "$out"
before="$(mktemp)"
trap 'rm -f "$before"' EXIT
ls -1 "$out" >"$before"

echo "==== quillon release examples/professional-claims/batch.json"
build/quillon release examples/professional-claims/batch.json

file="$(ls -1t "$out" | grep -vxF -f "$before" | head -n 1 || true)"
if [ -z "$file" ]; then
  echo "run-example: no new file in $out" >&2
  exit 1
fi
path="$out/$file"
echo "==== output file: $path ($(wc -c <"$path") bytes, $(tr -cd '~' <"$path" | wc -c) segments)"
echo "==== first 12 segments:"
awk 'BEGIN { RS = "~" } NR <= 12 { gsub(/[\r\n]/, ""); print $0 "~" }' "$path"

# With the node packages of the tests installed, check the file as well.
if command -v node >/dev/null 2>&1 && [ -d tests/x12/node_modules/node-x12 ]; then
  echo "==== X12 check (node-x12):"
  node tests/x12/check-837p.js "$path"
fi
