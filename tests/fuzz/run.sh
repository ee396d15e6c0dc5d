#!/usr/bin/env bash
# Runs one fuzz target.
#   run.sh replay BINARY DIR              every input of DIR/corpus,
#                                         DIR/slow (slow cases kept out of
#                                         the fuzzing seeds) and
#                                         DIR/crashers once
#   run.sh fuzz BINARY DIR SECONDS WORK   fuzzes for SECONDS from the seed
#                                         corpus, new inputs in WORK/corpus,
#                                         findings in WORK/findings; prints
#                                         "executions N corpus N findings N"
#                                         and the processor time used
set -uo pipefail
mode=$1 binary=$2 dir=$3
# Inputs a little longer than the longest value a settings read returns.
options=(-rss_limit_mb=2048 -timeout=25 -max_len=4200)
dict=()
[ -f "$dir.dict" ] && dict=(-dict="$dir.dict")
case $mode in
  replay)
    inputs=()
    for folder in "$dir/corpus" "$dir/slow" "$dir/crashers"; do
      for f in "$folder"/*; do [ -f "$f" ] && inputs+=("$f"); done
    done
    [ ${#inputs[@]} -gt 0 ] || { echo "no inputs in $dir"; exit 1; }
    "$binary" "${options[@]}" "${inputs[@]}" >"${TMPDIR:-/tmp}/replay.$$.log" 2>&1
    rc=$?
    [ $rc -eq 0 ] || tail -n 40 "${TMPDIR:-/tmp}/replay.$$.log"
    rm -f "${TMPDIR:-/tmp}/replay.$$.log"
    echo "replayed ${#inputs[@]} inputs of $(basename "$dir")"
    exit $rc
    ;;
  fuzz)
    seconds=$4 work=$5
    mkdir -p "$work/corpus" "$work/findings"
    log="$work/fuzz.log"
    # The processor time it got, too: on a shared machine the wall time
    # says little about what a target can do.
    TIMEFORMAT='%3U %3S'
    { time "$binary" "${options[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/findings/" "$work/corpus" "$dir/corpus" >"$log" 2>&1; } 2>"$work/cpu"
    rc=$?
    cpu=$(awk '{printf "%d", $1 + $2}' "$work/cpu")
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    corpus=$(find "$work/corpus" -type f | wc -l)
    findings=$(find "$work/findings" -type f | wc -l)
    echo "$(basename "$dir"): executions ${executions:-0} corpus $corpus findings $findings" \
         "(${seconds} s, ${cpu} s of processor time)"
    if [ $rc -ne 0 ] || [ "$findings" -ne 0 ]; then
      grep -E -A30 'ERROR|check failed|deadly signal|Timeout|out-of-memory' "$log" | head -n 60
      echo "findings in $work/findings"
      exit 1
    fi
    ;;
  *) echo "usage: run.sh replay|fuzz ..."; exit 2 ;;
esac
