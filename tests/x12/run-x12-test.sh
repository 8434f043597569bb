#!/usr/bin/env bash
# The X12 tests that CTest runs (tests/x12/CMakeLists.txt):
#
#   run-x12-test.sh selftest
#       the checker's own cases (check-837p.test.js)
#   run-x12-test.sh samples SHARED_DIR
#       the public 837P samples: the valid one must pass, the invalid one fail
#   run-x12-test.sh example QUILLON SOURCE_DIR
#       releases the bundled example (examples/professional-claims) with the
#       built quillon command in a fresh folder, as from a fresh clone, and
#       checks the 837P file it writes
#
# Exit 77 (CTest: skipped) when node or the node packages are missing
# (scripts/install-test-deps.sh installs them), or the samples are not there.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
skip() {
  echo "SKIPPED: $*"
  exit 77
}

command -v node >/dev/null 2>&1 || skip "node is not installed"
[ -f "$here/node_modules/node-x12/package.json" ] ||
  skip "tests/x12/node_modules is missing; run scripts/install-test-deps.sh"
checker=(node "$here/check-837p.js")

mode="${1:-}"
case "$mode" in
  selftest)
    exec node "$here/check-837p.test.js"
    ;;

  samples)
    samples="${2:?samples needs the shared folder}/samples/x12"
    [ -d "$samples" ] || skip "no sample folder $samples"
    "${checker[@]}" "$samples/837P-commercial-valid.x12"
    set +e
    output="$("${checker[@]}" "$samples/837P-segment-errors-invalid.x12")"
    status=$?
    set -e
    echo "$output"
    if [ "$status" -ne 1 ]; then
      echo "FAIL: the invalid sample should be rejected with status 1, got $status"
      exit 1
    fi
    # The four faults the sample is known for must each be found.
    for fault in "required N3 missing in loop 2010AA" "REF*EI/SY tax id repeats" \
      "required HI principal diagnosis missing" "SE01"; do
      if ! grep -qF "$fault" <<<"$output"; then
        echo "FAIL: the checker did not report: $fault"
        exit 1
      fi
    done
    echo "invalid sample rejected as expected"
    ;;

  example)
    quillon="${2:?example needs the quillon command}"
    quillon="$(cd "$(dirname "$quillon")" && pwd)/$(basename "$quillon")"
    source_dir="${3:?example needs the source folder}"
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    # A fresh copy: the example's relative paths resolve against the folder
    # the command runs in, as they do from the root of a clone.
    mkdir -p "$work/examples"
    cp -R "$source_dir/examples/professional-claims" "$work/examples/"
    rm -f "$work/examples/professional-claims/"*.icn
    documents="$(node -e 'console.log(require(process.argv[1]).documents.length)' \
      "$work/examples/professional-claims/batch.json")"
    (cd "$work" && "$quillon" release examples/professional-claims/batch.json)
    shopt -s nullglob
    files=("$work"/build/example-output/out/*)
    if [ "${#files[@]}" -ne 1 ]; then
      echo "FAIL: expected one output file in build/example-output/out, found ${#files[@]}"
      exit 1
    fi
    "${checker[@]}" --transactions "$documents" "${files[0]}"
    ;;

  *)
    echo "usage: run-x12-test.sh selftest | samples SHARED_DIR | example QUILLON SOURCE_DIR" >&2
    exit 2
    ;;
esac
