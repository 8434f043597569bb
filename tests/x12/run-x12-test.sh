#!/usr/bin/env bash
# The X12 tests that CTest runs (tests/x12/CMakeLists.txt):
#
#   run-x12-test.sh selftest [837p|837i]
#       the checker's own cases (check-837p.test.js or check-837i.test.js)
#   run-x12-test.sh samples SHARED_DIR [837p|837i]
#       the public samples of that claim: the valid one must pass, the
#       invalid one fail with the faults it is known for
#   run-x12-test.sh example QUILLON SOURCE_DIR [EXAMPLE]
#       releases a bundled example (examples/EXAMPLE, by default
#       professional-claims) with the built quillon command in a fresh folder,
#       as from a fresh clone, and checks the 837 file it writes with the
#       checker of its claim (institutional-claims: the 837I checker)
#   run-x12-test.sh hostile QUILLON SOURCE_DIR
#       releases the professional example's batch once as it is and once
#       with X12 delimiters, NUL, ESC and line breaks in its fields
#       (make-hostile-batch.js): both files must be valid 837P files with the
#       same number of segments
#
# The claim defaults to 837p.
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

# The checker program of a claim: 837p or 837i.
claim_checker() {
  case "$1" in
    837p | 837i) echo "$here/check-$1.js" ;;
    *)
      echo "run-x12-test.sh: unknown claim \"$1\" (837p or 837i)" >&2
      exit 2
      ;;
  esac
}

mode="${1:-}"
case "$mode" in
  selftest)
    checker="$(claim_checker "${2:-837p}")"
    exec node "${checker%.js}.test.js"
    ;;

  samples)
    samples="${2:?samples needs the shared folder}/samples/x12"
    claim="${3:-837p}"
    checker=(node "$(claim_checker "$claim")")
    [ -d "$samples" ] || skip "no sample folder $samples"
    # The valid sample, the invalid one, and the faults the invalid one is
    # known for: each must be found.
    if [ "$claim" = 837p ]; then
      valid=837P-commercial-valid.x12
      invalid=837P-segment-errors-invalid.x12
      faults=("required N3 missing in loop 2010AA" "REF*EI/SY tax id repeats"
        "required HI principal diagnosis missing" "SE01")
    else
      valid=837I-two-claims-valid.x12
      invalid=837I-invalid.x12
      faults=("billing provider ZIP code \"20705\" must have 9 digits" "CLM05-2 \"B\""
        "CLM06 is not used" "DTP*434 needs DTP02 RD8" "segment starts with white space"
        "trailing empty element" "SE01 \"25\"")
    fi
    "${checker[@]}" "$samples/$valid"
    set +e
    output="$("${checker[@]}" "$samples/$invalid")"
    status=$?
    set -e
    echo "$output"
    if [ "$status" -ne 1 ]; then
      echo "FAIL: the invalid sample should be rejected with status 1, got $status"
      exit 1
    fi
    for fault in "${faults[@]}"; do
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
    example="${4:-professional-claims}"
    case "$example" in
      institutional-claims) checker=(node "$(claim_checker 837i)") ;;
      *) checker=(node "$(claim_checker 837p)") ;;
    esac
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    # A fresh copy: the example's relative paths resolve against the folder
    # the command runs in, as they do from the root of a clone.
    mkdir -p "$work/examples"
    cp -R "$source_dir/examples/$example" "$work/examples/"
    rm -f "$work/examples/$example/"*.icn
    documents="$(node -e 'console.log(require(process.argv[1]).documents.length)' \
      "$work/examples/$example/batch.json")"
    (cd "$work" && "$quillon" release "examples/$example/batch.json")
    shopt -s nullglob
    files=("$work"/build/example-output/out/*)
    if [ "${#files[@]}" -ne 1 ]; then
      echo "FAIL: expected one output file in build/example-output/out, found ${#files[@]}"
      exit 1
    fi
    "${checker[@]}" --transactions "$documents" "${files[0]}"
    ;;

  hostile)
    quillon="${2:?hostile needs the quillon command}"
    quillon="$(cd "$(dirname "$quillon")" && pwd)/$(basename "$quillon")"
    source_dir="${3:?hostile needs the source folder}"
    checker=(node "$(claim_checker 837p)")
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/examples"
    cp -R "$source_dir/examples/professional-claims" "$work/examples/"
    rm -f "$work/examples/professional-claims/"*.icn
    example="$work/examples/professional-claims"
    node "$here/make-hostile-batch.js" "$example/batch.json" "$example/hostile.json"
    documents="$(node -e 'console.log(require(process.argv[1]).documents.length)' \
      "$example/batch.json")"
    out="$work/build/example-output/out"
    segments=()
    for batch in batch hostile; do
      (cd "$work" && "$quillon" release "examples/professional-claims/$batch.json" >/dev/null)
      shopt -s nullglob
      files=("$out"/*)
      if [ "${#files[@]}" -ne 1 ]; then
        echo "FAIL: expected one output file for $batch.json, found ${#files[@]}"
        exit 1
      fi
      "${checker[@]}" --transactions "$documents" "${files[0]}"
      segments+=("$(tr -cd '~' <"${files[0]}" | wc -c)")
      rm -f "${files[0]}"
    done
    if [ "${segments[0]}" -ne "${segments[1]}" ]; then
      echo "FAIL: the clean batch has ${segments[0]} segments, the hostile one ${segments[1]}"
      exit 1
    fi
    echo "the hostile batch keeps the ${segments[0]} segments of the clean one"
    ;;

  *)
    echo "usage: run-x12-test.sh selftest [CLAIM] | samples SHARED_DIR [CLAIM] | example QUILLON SOURCE_DIR [EXAMPLE] | hostile QUILLON SOURCE_DIR" >&2
    exit 2
    ;;
esac
