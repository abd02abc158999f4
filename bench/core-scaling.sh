#!/usr/bin/env bash
# How the converter scales with cores: the same conversions as compare-gif.sh (same clips, start,
# length, frame rate and size) run with `taskset` on one core and on two, with the converter's
# pool sized to the cores it is given (VG_THREADS follows the core count). Prints per clip the
# median time on each, the speed-up, the same for decoding alone (ffmpeg to null, the floor), and
# whether the two GIFs are byte for byte the same (they must be: the number of threads changes
# no byte). Target: a speed-up of at least 1.7 on clips whose source is 640 × 360 or larger.
# Below the table, the converter's own stage times (VG_STAGE_TIMES) on each core set, in ms:
# decoding and preparing, palettes, encoding: what of each stage scales and what stays serial.
#
# Usage: bench/core-scaling.sh [build folder]   (ROUNDS=3 default here, CLIPS, OURS, MEDIA as in
# compare-gif.sh; CORES="0 0,1" picks the core sets, the first being the baseline)
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
ROUNDS="${ROUNDS:-3}"
# shellcheck source=bench/bench-common.sh
. "$top/bench/bench-common.sh"
read -r -a sets <<< "${CORES:-0 0,1}"
make_clips

count_cores() { # count_cores <list>: how many cores a taskset list names ("0,1" or "0-3")
  local n=0 part
  IFS=, read -r -a parts <<< "$1"
  for part in "${parts[@]}"; do
    if [[ "$part" == *-* ]]; then n=$((n + ${part#*-} - ${part%-*} + 1)); else n=$((n + 1)); fi
  done
  echo "$n"
}

printf "%-11s %9s" clip source
for set in "${sets[@]}"; do printf " %9s" "t[$set]"; done
printf " %8s" speed-up
for set in "${sets[@]}"; do printf " %9s" "dec[$set]"; done
printf " %8s %5s %s\n" dec-up same target
pass=0 fail=0 stages=()
for entry in "${clips[@]}"; do
  read_clip "$entry" || continue
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$src" |
    head -1 | cut -dx -f1,2)
  times=() decodes=() sums=() stagelines=()
  for set in "${sets[@]}"; do
    threads=$(count_cores "$set")
    out="$work/$name-$threads.gif"
    measure "$name on $set" env VG_STAGE_TIMES=1 VG_THREADS="$threads" taskset -c "$set" "$cli" -q \
      "$src" "$out" --start "$start" --end "$end" --fps "$fps" --size "${w}x${h}"
    times+=("$T")
    # (the last round's: "stage 0-60: 812.3 ms" and so on; the encoding stage is 73-100)
    stagelines+=("$(printf "%-11s %-5s" "$name" "$set"; awk '/^stage 0-60:/ { p = $3 } /^stage 60-73:/ { q = $3 }
      /^stage 73-100:/ { e = $3 } END { printf " prepare %7.0f  palettes %6.0f  encode %7.0f", p, q, e }' "$work/err")")
    sums+=("$(md5sum < "$out" | cut -c1-32)")
    measure "decoding $name on $set" taskset -c "$set" ffmpeg -v error -y -threads "$threads" \
      -ss "$start" -t "$dur" -i "$src" -an -f null -
    decodes+=("$T")
  done
  up=$(awk -v a="${times[0]}" -v b="${times[-1]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  decup=$(awk -v a="${decodes[0]}" -v b="${decodes[-1]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  same=yes
  for sum in "${sums[@]}"; do [ "$sum" = "${sums[0]}" ] || same=NO; done
  big=$(awk -v s="$size" 'BEGIN { split(s, d, "x"); print (d[1] * d[2] >= 640 * 360) ? 1 : 0 }')
  verdict="-"
  if [ "$big" = 1 ]; then
    if awk -v u="$up" 'BEGIN { exit !(u >= 1.7) }' && [ "$same" = yes ]; then
      verdict=PASS; pass=$((pass + 1))
    else
      verdict=FAIL; fail=$((fail + 1))
    fi
  fi
  printf "%-11s %9s" "$name" "$size"
  for t in "${times[@]}"; do printf " %9s" "$t"; done
  printf " %8s" "$up"
  for t in "${decodes[@]}"; do printf " %9s" "$t"; done
  printf " %8s %5s %s\n" "$decup" "$same" "$verdict"
  stages+=("${stagelines[@]}")
done
echo "speed-up >= 1.7 on sources of 640 x 360 and above, same bytes: $pass passed, $fail failed"
echo "stage times (ms, the last round):"
printf "%s\n" "${stages[@]}"
