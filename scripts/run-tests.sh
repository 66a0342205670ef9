#!/usr/bin/env bash
# Runs every test stage, then one closing summary over all of them.
#   native: portable logic under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan:   where the timer thread and the user-interface thread meet, under ThreadSanitizer
#   fuzz:   libFuzzer over the update checker's parsers, for a bounded time
#   wine:   the real Windows binaries under Wine in Xvfb, built for the target that
#           scripts/wine-arch.sh picks (HB_WINE_ARCH=i686 or x86_64 forces one)
# Usage: scripts/run-tests.sh [stage...]   (default: all four)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build
source scripts/jobs.sh
stages=("$@")
[[ ${#stages[@]} == 0 ]] && stages=(native tsan fuzz wine)
# A fresh clone has no build/ yet, and the stages' logs go there before any build makes it.
mkdir -p "$build"

passed=0 failed=0 failures=() wine_target=

# Counts a stage: GoogleTest cases from the XML reports each test program writes, plus CTest
# entries that failed without a failing report (a crash or a time-out).
count_ctest() {
  local log=$1 stage=$2 xmldir=$3 line bad cases=0 casefail=0 reportsfailing=0 t f x
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [[ -z $line ]]; then
    failed=$((failed + 1)); failures+=("$stage: no test summary"); return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  for x in "$xmldir"/*.xml; do
    [[ -f $x ]] || continue
    t=$(grep -m1 -oE '<testsuites tests="[0-9]+"' "$x" | grep -oE '[0-9]+')
    f=$(grep -m1 -oE '<testsuites tests="[0-9]+" failures="[0-9]+"' "$x" | grep -oE '[0-9]+"$' | tr -d '"')
    cases=$((cases + ${t:-0})); casefail=$((casefail + ${f:-0}))
    [[ ${f:-0} != 0 ]] && reportsfailing=$((reportsfailing + 1))
  done
  local crashed=$((bad - reportsfailing)); ((crashed < 0)) && crashed=0
  passed=$((passed + cases - casefail)); failed=$((failed + casefail + crashed))
  echo "$stage: $((cases - casefail)) of $cases GoogleTest cases passed"
  [[ $bad != 0 ]] && failures+=("$stage: $bad CTest tests failed")
}

run_native() {
  local dir=$build/native-$1 san=$2
  # The checks of the shipped 32-bit files read dist/, built as `make` builds it.
  if [[ $1 == asan ]] && ! make --no-print-directory -C "$root" dist >"$build/dist.log" 2>&1; then
    cat "$build/dist.log"; failed=$((failed+1)); failures+=("$1: building dist/"); return
  fi
  cmake -S "$root" -B "$dir" -DHB_SANITIZE="$san" -DHB_SHIPPED_DIR="$root/dist" >/dev/null ||
    { failed=$((failed+1)); failures+=("$1: configure"); return; }
  cmake --build "$dir" -j$HB_JOBS >/dev/null || { failed=$((failed+1)); failures+=("$1: build"); return; }
  rm -rf "$dir/gtest-xml"
  GTEST_OUTPUT="xml:$dir/gtest-xml/" ctest --test-dir "$dir" --output-on-failure -j$HB_JOBS 2>&1 | tee "$dir/ctest.log"
  count_ctest "$dir/ctest.log" "$1" "$dir/gtest-xml"
}

# Each target starts from what earlier runs found here and from the seeds kept in the repository
# (updater/tests/fuzz/corpus/TARGET: valid replies and the tests' edge cases); fuzz_reply_long
# stretches small inputs into replies past the 1 MiB cap.
run_fuzz() {
  local dir=$build/fuzz seconds=${HB_FUZZ_SECONDS:-15} target name seeds status
  cmake -S "$root" -B "$dir" -DHB_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
    cmake --build "$dir" -j$HB_JOBS >/dev/null || { failed=$((failed+1)); failures+=("fuzz: build"); return; }
  for target in "$dir"/updater/tests/fuzz/fuzz_*; do
    [[ -x $target ]] || continue
    name=${target##*/} seeds=$root/updater/tests/fuzz/corpus/$name
    mkdir -p "$dir/corpus/$name"
    [[ -d $seeds ]] || seeds=
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=0 "$dir/corpus/$name" ${seeds:+"$seeds"} >"$dir/$name.log" 2>&1
    status=$?
    tail -2 "$dir/$name.log"
    if [[ $status == 0 ]]; then passed=$((passed+1)); else failed=$((failed+1)); failures+=("fuzz: $name found a fault, see $dir/$name.log"); fi
  done
}

run_wine() {
  source "$root/scripts/wine-arch.sh" || { failed=$((failed+1)); failures+=("wine: target"); return; }
  local arch=$HB_WINE_ARCH dir=$build/win-$HB_WINE_ARCH bits=32
  [[ $arch == x86_64 ]] && bits=64
  wine_target="wine: ran the $arch build under $bits-bit Wine: $HB_WINE_ARCH_WHY"
  echo "$wine_target"
  "$root/scripts/configure-windows.sh" "$dir" >/dev/null &&
    cmake --build "$dir" -j$HB_JOBS >/dev/null || { failed=$((failed+1)); failures+=("wine: build"); return; }
  # Every Wine command of the session runs with the same display.
  rm -rf "$dir/gtest-xml"
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
    '$root/scripts/wine-prefix.sh' &&
    GTEST_OUTPUT='xml:Z:$dir/gtest-xml/' ctest --test-dir '$dir' --output-on-failure -j$HB_JOBS" 2>&1 | tee "$dir/ctest.log"
  count_ctest "$dir/ctest.log" wine "$dir/gtest-xml"
}

for stage in "${stages[@]}"; do
  echo "=== $stage"
  case $stage in
    native) run_native asan address,undefined ;;
    tsan) run_native tsan thread ;;
    fuzz) run_fuzz ;;
    wine) run_wine ;;
    *) echo "unknown stage $stage"; exit 2 ;;
  esac
done

echo
[[ -n $wine_target ]] && echo "$wine_target"
for f in "${failures[@]}"; do echo "FAILED $f"; done
echo "total: $passed passed, $failed failed"
[[ $failed == 0 ]]
