#!/usr/bin/env bash
# A refresh of 100 programmes x 280 items (28,000 rows of P) from the reference
# service on loopback into an empty store, beside isql-fb executing the same
# login and item scripts into another empty store.
#
#   bench/refresh.sh [BUILD_DIR]     (default: build/ beside bench/)
#
# ROUNDS (default 3) runs of each; the medians are compared. The last line is
# "refresh / isql-fb: X.XX": the whole refresh divided by isql-fb's time for
# the scripts alone.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
bin="$build/bin"
rounds=${ROUNDS:-3}
for tool in mirvaly-service mirvaly-db refresh_bench; do
  [[ -x "$bin/$tool" ]] || { echo "missing $bin/$tool (build it first)" >&2; exit 2; }
done
command -v isql-fb >/dev/null || { echo "isql-fb is not installed" >&2; exit 2; }

work=$(mktemp -d /tmp/mirvaly-refresh-bench.XXXXXX)
service_pid=""
cleanup() {
  if [[ -n "$service_pid" ]]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/mirvaly-service" generate "$work/catalogue" --channels 100 --days 7 --items-per-day 40 \
  --no-extras --seed 1 --start 07.12.2026 >/dev/null
"$bin/mirvaly-service" --catalogue "$work/catalogue" --listen 127.0.0.1 --port 0 --quiet \
  >"$work/service.out" 2>"$work/service.err" &
service_pid=$!
for _ in $(seq 1 100); do
  grep -q "listening on" "$work/service.out" 2>/dev/null && break
  sleep 0.1
done
host=$(grep -o '127\.0\.0\.1:[0-9]*' "$work/service.out" | head -1)
[[ -n "$host" ]] || { echo "the reference service did not start" >&2; cat "$work/service.err" >&2; exit 1; }

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

refresh_times=()
isql_times=()
for round in $(seq 1 "$rounds"); do
  rm -f "$work/refresh.gdb" "$work/isql.gdb"
  "$bin/mirvaly-db" create "$work/refresh.gdb" >/dev/null
  echo "round $round: refresh"
  "$bin/refresh_bench" --host "$host" --store "$work/refresh.gdb" --scripts "$work/scripts.sql" \
    | tee "$work/refresh.out" | sed 's/^/  /'
  refresh_times+=("$(awk '/^refresh wall:/ { print $3 }' "$work/refresh.out")")

  "$bin/mirvaly-db" create "$work/isql.gdb" >/dev/null
  start=$(now)
  isql-fb -q -i "$work/scripts.sql" -user SYSDBA "$work/isql.gdb" >"$work/isql.out" 2>&1
  end=$(now)
  if [[ -s "$work/isql.out" ]]; then echo "isql-fb reported:" >&2; head -5 "$work/isql.out" >&2; exit 1; fi
  isql_times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
  echo "round $round: isql-fb on the same scripts: ${isql_times[-1]} s"
done

rows=$(echo "select count(*) from P;" | isql-fb -q -user SYSDBA "$work/isql.gdb" | awk 'NF == 1 && $1 ~ /^[0-9]+$/ { print $1 }')
echo "rows of P stored by isql-fb: $rows"
refresh_median=$(printf '%s\n' "${refresh_times[@]}" | median)
isql_median=$(printf '%s\n' "${isql_times[@]}" | median)
echo "refresh wall (median of $rounds): $refresh_median s"
echo "isql-fb (median of $rounds): $isql_median s"
awk -v r="$refresh_median" -v i="$isql_median" 'BEGIN { printf "refresh / isql-fb: %.2f\n", r / i }'
