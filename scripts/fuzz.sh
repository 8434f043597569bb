#!/usr/bin/env bash
# Builds every libFuzzer target (tests/fuzz/*_fuzz.cpp) in the fuzz preset
# (clang, into build-fuzz/) and runs each for FUZZ_SECONDS seconds (default 60)
# over a copy of its seed corpus tests/fuzz/corpus/<name>/. Any crash, leak,
# timeout (10 s per input) or memory blow-up (2 GiB) fails the script; the
# input that caused it is left in build-fuzz/artifacts/.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds="${FUZZ_SECONDS:-60}"
jobs="${QUILLON_JOBS:-2}"

mapfile -t targets < <(find tests/fuzz -maxdepth 1 -name '*_fuzz.cpp' -printf '%f\n' 2>/dev/null |
  sed 's/\.cpp$//' | sort)
if [ "${#targets[@]}" -eq 0 ]; then
  echo "fuzz: no fuzz targets"
  exit 0
fi

echo "==== fuzz: configure and build ${targets[*]}"
cmake --preset fuzz
cmake --build --preset fuzz --parallel "${jobs}" --target "${targets[@]}"

artifacts="build-fuzz/artifacts"
mkdir -p "${artifacts}"
failed=()
for target in "${targets[@]}"; do
  work="$(mktemp -d)"
  if [ -d "tests/fuzz/corpus/${target}" ]; then
    cp -R "tests/fuzz/corpus/${target}/." "${work}/"
  fi
  echo "==== fuzz: ${target} for ${seconds} s ($(find "${work}" -type f | wc -l) seed inputs)"
  program="$(find build-fuzz -type f -name "${target}" -perm -u+x | head -n 1)"
  if [ -z "${program}" ]; then
    echo "fuzz: ${target} was not built"
    failed+=("${target}")
    continue
  fi
  if "${program}" -max_total_time="${seconds}" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="${artifacts}/${target}-" -print_final_stats=1 "${work}" \
    >"build-fuzz/${target}.log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|Done )' \
      "build-fuzz/${target}.log" || true
  else
    echo "fuzz: ${target} FAILED; last lines of build-fuzz/${target}.log:"
    tail -n 40 "build-fuzz/${target}.log"
    failed+=("${target}")
  fi
  rm -rf "${work}"
done

if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzz: failures in ${failed[*]}"
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds} s each without a failure"
