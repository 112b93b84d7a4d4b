#!/usr/bin/env bash
# Runs the libFuzzer harnesses of BUILD (built with -DKORVEX_FUZZ=ON) for SECONDS each, on
# corpora in BUILD/corpus/<harness> seeded from the tests and examples, and prints for each
# the executions, the corpus size and any finding. Exit 1 when a harness found something
# (the reproducer is kept in BUILD/findings/<harness>/).
#   scripts/fuzz.sh BUILD SECONDS [HARNESS...]
# With FUZZ_RUNS=N in the environment each harness stops after N executions instead
# (SECONDS is then ignored). FUZZ_TIMEOUT=S (default 25) is the wall time after which one
# execution counts as a hang: raise it for long runs at low priority on a busy machine.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
seconds=${2:-30}
shift 2 || true
all=(fuzz_project_info fuzz_settings_mesh fuzz_citi fuzz_raw fuzz_bitmap fuzz_capstd fuzz_sim_parser fuzz_sim_run)
harnesses=("$@")
[ $# -eq 0 ] && harnesses=("${all[@]}")

# A 16 MiB quarantine instead of 256 MiB: freed blocks are still poisoned before reuse, but big
# per-input arrays no longer land on fresh pages every execution (1.6x the executions a second).
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=16
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

seed() {  # seed HARNESS: fills BUILD/seeds/HARNESS once
  local dir="$build/seeds/$1"
  [ -d "$dir" ] && return
  mkdir -p "$dir"
  case $1 in
    fuzz_project_info)  # the demo's header, parts and sections on a 4 x 3 board: fast to load
      cp fuzz/seeds/project/* "$dir/" ;;
    fuzz_settings_mesh) cp fuzz/seeds/settings_mesh/* "$dir/" ;;
    fuzz_citi) cp fuzz/seeds/citi/* "$dir/" ;;
    fuzz_capstd) cp fuzz/seeds/capstd/* "$dir/" ;;
    fuzz_bitmap) cp fuzz/seeds/bitmap/* "$dir/" ;;
    fuzz_raw)
      # The simulator's own results of the test decks.
      local work="$build/seeds/raw_work"
      mkdir -p "$work"
      for deck in tests/data/sim/good/*.cir; do
        cp "$deck" "$work/"
        "$build/bin/korvex-sim" -b "$work/$(basename "$deck")" > /dev/null 2>&1
      done
      "$build/bin/korvex-sim" -b --utf16 "$work/$(basename tests/data/sim/good/ac_rc.cir)" > /dev/null 2>&1
      find "$work" -name '*.raw' -size -256k -exec cp {} "$dir/" \;
      rm -rf "$work" ;;
    fuzz_sim_parser | fuzz_sim_run)
      cp tests/data/sim/good/*.cir tests/data/sim/bad/*.cir "$dir/"
      find tests/data/netlist -name '*.cir' -size -64k -exec cp {} "$dir/" \; ;;
  esac
}

dict_of() {
  case $1 in
    fuzz_project_info) echo fuzz/dict/project.dict ;;
    fuzz_settings_mesh) echo fuzz/dict/settings.dict ;;
    fuzz_citi) echo fuzz/dict/citi.dict ;;
    fuzz_raw) echo fuzz/dict/raw.dict ;;
    fuzz_bitmap) echo fuzz/dict/bitmap.dict ;;
    fuzz_capstd) echo fuzz/dict/capstd.dict ;;
    fuzz_sim_parser | fuzz_sim_run) echo fuzz/dict/sim.dict ;;
  esac
}

failed=0
printf '%-20s %12s %8s %s\n' harness executions corpus result
for h in "${harnesses[@]}"; do
  seed "$h"
  corpus="$build/corpus/$h" findings="$build/findings/$h" log="$build/fuzz-$h.log"
  mkdir -p "$corpus" "$findings"
  max_len=65536
  limit=(-max_total_time="$seconds")
  [ -n "${FUZZ_RUNS:-}" ] && limit=(-runs="$FUZZ_RUNS")
  "$build/bin/$h" "$corpus" "$build/seeds/$h" -dict="$(dict_of "$h")" "${limit[@]}" \
    -max_len=$max_len -timeout="${FUZZ_TIMEOUT:-25}" -rss_limit_mb=4096 -artifact_prefix="$findings/" -print_final_stats=1 \
    > "$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  files=$(find "$corpus" -type f | wc -l)
  result=ok
  if [ $status -ne 0 ]; then
    result="FINDING (see $log, $findings)"
    failed=1
  fi
  printf '%-20s %12s %8s %s\n' "$h" "${runs:-?}" "$files" "$result"
done
exit $failed
