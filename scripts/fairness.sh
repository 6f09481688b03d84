#!/usr/bin/env bash
# Runs Debian's dieharder battery on the stream that the dice consume, made
# by velmora_draws exactly as a die is made: a reseed from the clock, then
# one draw. A WEAK result is run once more on a fresh stream, as dieharder's
# authors advise; the run fails on any FAILED, and on a WEAK that stays WEAK.
#
#   fairness.sh [--short | --full] [--clock system|frozen|both] [--seed N]
#               [--replacing-reseed] [--draws PATH/TO/velmora_draws]
#
# --short: four quick tests for each clock, about a minute in all.
# --full: dieharder -a for each clock, some hours.
# --seed: the generator's first state; with a frozen clock the stream is
#   then the same on every run.
# --replacing-reseed: the deliberately broken source, which must fail.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

mode=short
clocks=(system frozen)
draws=""
source_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --short) mode=short ;;
    --full) mode=full ;;
    --clock)
      case ${2:-} in
        system | frozen) clocks=("$2") ;;
        both) clocks=(system frozen) ;;
        *) echo "fairness: --clock takes system, frozen or both" >&2; exit 2 ;;
      esac
      shift ;;
    --seed) source_args+=(--seed "${2:?--seed takes a number}"); shift ;;
    --replacing-reseed) source_args+=(--replacing-reseed) ;;
    --draws) draws=${2:?--draws takes a path}; shift ;;
    *) echo "fairness: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
if [ -z "$draws" ]; then
  for candidate in "$root"/build/*/bench/velmora_draws; do
    [ -x "$candidate" ] && draws=$candidate && break
  done
fi
[ -x "$draws" ] || { echo "fairness: no velmora_draws; build the test preset first" >&2; exit 2; }
command -v dieharder >/dev/null || { echo "fairness: no dieharder (Debian package dieharder)" >&2; exit 2; }

# dieharder 3.31's test numbers; it finds some tests by number only.
declare -A test_number=(
  [diehard_birthdays]=0 [diehard_operm5]=1 [diehard_rank_32x32]=2 [diehard_rank_6x8]=3
  [diehard_bitstream]=4 [diehard_opso]=5 [diehard_oqso]=6 [diehard_dna]=7
  [diehard_count_1s_str]=8 [diehard_count_1s_byt]=9 [diehard_parking_lot]=10
  [diehard_2dsphere]=11 [diehard_3dsphere]=12 [diehard_squeeze]=13 [diehard_sums]=14
  [diehard_runs]=15 [diehard_craps]=16 [marsaglia_tsang_gcd]=17 [sts_monobit]=100
  [sts_runs]=101 [sts_serial]=102 [rgb_bitdist]=200 [rgb_minimum_distance]=201
  [rgb_permutations]=202 [rgb_lagged_sum]=203 [rgb_kstest_test]=204 [dab_bytedistrib]=205
  [dab_dct]=206 [dab_filltree]=207 [dab_filltree2]=208 [dab_monobit2]=209
)
# Quick tests from the three families: diehard birthdays and counts of ones,
# NIST's monobit, and a DCT test of the bytes.
short_tests=(diehard_birthdays diehard_count_1s_str sts_monobit dab_dct)

# dieharder ARGS... on a fresh stream; prints the result lines only.
battery() {
  "$draws" "--$clock-clock" "${source_args[@]}" | dieharder -g 200 "$@" 2>/dev/null \
    | grep -E '\|[[:space:]]*(PASSED|WEAK|FAILED)[[:space:]]*$' || true
}

status=0
for clock in "${clocks[@]}"; do
  if [ "$mode" = full ]; then
    results=$(battery -a)
  else
    results=""
    for test in "${short_tests[@]}"; do
      results+=$(battery -d "${test_number[$test]}")$'\n'
    done
  fi
  results=$(grep -v '^$' <<<"$results")
  [ -n "$results" ] || { echo "fairness: $clock clock: dieharder gave no results" >&2; exit 1; }

  # Each WEAK once more, by test and tuple size.
  final=""
  while IFS= read -r line; do
    if grep -q 'WEAK' <<<"$line"; then
      name=$(awk -F'|' '{gsub(/ /, "", $1); print $1}' <<<"$line")
      ntup=$(awk -F'|' '{gsub(/ /, "", $2); print $2}' <<<"$line")
      # Some tests report every tuple size whatever -n asks for: take the one.
      again=$(battery -d "${test_number[$name]:?unknown test $name}" -n "$ntup" \
        | awk -F'|' -v ntup="$ntup" '{n = $2; gsub(/ /, "", n)} n == ntup {print; exit}')
      echo "fairness: $clock clock: WEAK, run again: $line"
      line="${again:-$line} (run again)"
    fi
    final+="$line"$'\n'
  done <<<"$results"
  final=$(grep -v '^$' <<<"$final")

  echo "fairness: $clock clock${source_args[*]:+ (${source_args[*]})}, $mode battery:"
  sed 's/^/  /' <<<"$final"
  passed=$(grep -c 'PASSED' <<<"$final" || true)
  weak=$(grep -c 'WEAK' <<<"$final" || true)
  failed=$(grep -c 'FAILED' <<<"$final" || true)
  lowest=$(awk -F'|' '{gsub(/ /, "", $5); print $5}' <<<"$final" | sort -g | head -3 | tr '\n' ' ')
  echo "fairness: $clock clock: $passed PASSED, $weak WEAK, $failed FAILED; lowest p-values: $lowest"
  if [ "$weak" -ne 0 ] || [ "$failed" -ne 0 ]; then
    status=1
  fi
done
exit "$status"
