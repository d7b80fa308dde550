#!/usr/bin/env bash
# Builds one fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs it for SECONDS in one process.
# usage: fuzz/build_and_run.sh TARGET SECONDS
#   TARGET: clean_and_shift | replace_by_pattern | change_case
# Binaries and logs go to fuzz/out/, the growing corpus to fuzz/corpus-TARGET/
# (seeded from fuzz/seeds/TARGET/). The last lines of the log give the runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
target=${1:?usage: $0 TARGET SECONDS}
seconds=${2:?usage: $0 TARGET SECONDS}

case "$target" in
  clean_and_shift) sources=(output/clean_and_shift.cpp) ;;
  replace_by_pattern) sources=(textproc/pattern_engine.cpp common/text.cpp) ;;
  change_case) sources=(viewer/case_change.cpp) ;;
  *) echo "unknown target: $target" >&2; exit 2 ;;
esac

mkdir -p "$here/out" "$here/corpus-$target"
binary="$here/out/${target}_fuzzer"
(cd "$root" && clang++ -std=c++20 -O1 -g -I"$root" \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "fuzz/${target}_fuzzer.cpp" "${sources[@]}" -o "$binary")

seeds=()
[[ -d "$here/seeds/$target" ]] && seeds=("$here/seeds/$target")
dict=()
[[ "$target" == replace_by_pattern ]] && dict=(-dict="$here/pattern.dict")

log="$here/out/$target.log"
cd "$here/out"
"$binary" "$here/corpus-$target" "${seeds[@]}" "${dict[@]}" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  2>&1 | tee "$log" | grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss|==|SUMMARY)' || true
grep -q '^Done' "$log" || { echo "fuzzer stopped early, see $log" >&2; exit 1; }
