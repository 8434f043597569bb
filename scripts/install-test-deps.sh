#!/usr/bin/env bash
# Installs the node packages that the X12 checks need (tests/x12: the
# node-x12 parser), exactly as tests/x12/package-lock.json pins them.
# Idempotent: nothing happens when tests/x12/node_modules already matches the
# lock file. Needs node and npm (scripts/install-deps.sh installs them).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$root/tests/x12"

if ! command -v npm >/dev/null 2>&1; then
  echo "install-test-deps: npm not found; run scripts/install-deps.sh first" >&2
  exit 1
fi

# npm keeps its own copy of the lock file in node_modules after an install;
# it is newer than the project's lock file as long as nothing changed since.
installed="$dir/node_modules/.package-lock.json"
if [ -f "$installed" ] && [ "$installed" -nt "$dir/package-lock.json" ] &&
  [ "$installed" -nt "$dir/package.json" ] &&
  npm ls --prefix "$dir" --depth=0 >/dev/null 2>&1; then
  echo "install-test-deps: tests/x12/node_modules is up to date"
  exit 0
fi

echo "install-test-deps: installing tests/x12 node packages"
npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error
