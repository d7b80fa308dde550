#!/usr/bin/env bash
# Times one rule of mirvaly-text against GNU sed doing the same rewrite on the
# same generated listing, checks that both outputs are identical byte for
# byte, and prints the ratio as its last line.
#
#   bench/sed_compare.sh [MEGABYTES]      (default 50)
#
# BUILD_DIR picks the build folder (default: build/ beside this folder); it is
# configured (RelWithDebInfo, -O2) and built if the tools are missing. "^#"
# is a digit in the pattern language, as [0-9] is in sed, and neither rule can
# match across a line end, so the two rewrites agree on any text; sed runs in
# the C locale so that it sees bytes, as mirvaly-text does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
megabytes=${1:-50}
tool=$build/bin/mirvaly-text
generator=$build/bin/mirvaly-text-listing

if [[ ! -x "$tool" || ! -x "$generator" ]]; then
  [[ -f "$build/CMakeCache.txt" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target mirvaly-text mirvaly-text-listing >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" $((megabytes * 1024 * 1024)) > "$work/listing.txt"
echo "listing: $(stat -c %s "$work/listing.txt") bytes"

# Best of three runs. Prints "CPU WALL" in seconds: the processor time
# (user + system) the command took, and the elapsed time. The ratio is taken
# on processor time, which other work on a shared machine disturbs least.
best_time() {
  local best_cpu="" best_wall="" line cpu wall
  for _ in 1 2 3; do
    line=$( { TIMEFORMAT='%3U %3S %3R'; time "$@" < "$work/listing.txt" > "$work/out.txt"; } 2>&1 )
    cpu=$(awk -v l="$line" 'BEGIN { split(l, f, " "); printf "%.3f", f[1] + f[2] }')
    wall=$(awk -v l="$line" 'BEGIN { split(l, f, " "); printf "%.3f", f[3] }')
    if [[ -z "$best_cpu" ]] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$cpu; fi
    if [[ -z "$best_wall" ]] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$wall; fi
  done
  echo "$best_cpu $best_wall"
}

ours=$(best_time "$tool" replace '^#^#:^#^#' '^1^2.^3^4')
mv "$work/out.txt" "$work/ours.txt"
theirs=$(best_time env LC_ALL=C sed -E 's/([0-9])([0-9]):([0-9])([0-9])/\1\2.\3\4/g')
mv "$work/out.txt" "$work/sed.txt"

if ! cmp -s "$work/ours.txt" "$work/sed.txt"; then
  echo "outputs differ:" >&2
  cmp "$work/ours.txt" "$work/sed.txt" >&2 || true
  exit 1
fi
if cmp -s "$work/ours.txt" "$work/listing.txt"; then
  echo "the rule changed nothing; the listing is not a fair test" >&2
  exit 1
fi
echo "outputs identical ($(stat -c %s "$work/ours.txt") bytes)"
read -r ours_cpu ours_wall <<< "$ours"
read -r sed_cpu sed_wall <<< "$theirs"
echo "mirvaly-text: ${ours_cpu} s processor, ${ours_wall} s elapsed"
echo "sed:          ${sed_cpu} s processor, ${sed_wall} s elapsed"
awk -v a="$sed_wall" -v b="$ours_wall" 'BEGIN { printf "elapsed-time ratio: %.2f\n", a / b }'
awk -v a="$sed_cpu" -v b="$ours_cpu" 'BEGIN { printf "speed-up over sed: %.2f\n", a / b }'
