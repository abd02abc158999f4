#!/usr/bin/env bash
# Accuracy and cost of the GIF size estimate (gifclipmaker-cli --estimate) against the GIF the
# same command line makes: 30 cases, the clips of ../shared/media at three settings each (the
# default; a higher frame rate at lower quality and full size; a crop with a caption, a ping-pong
# order and a faster speed). Prints per case the real size, the estimate, the error and the
# estimate's time as a share of the conversion's, then the error distribution and the targets:
# within 15 % on 90 % of the cases, within 25 % on all, estimating at most 15 % of converting.
#
#   bench/estimate-accuracy.sh [build folder]       MEDIA=<folder> reads the clips elsewhere
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
cli="$build/program/gifclipmaker-cli"
media="${MEDIA:-$top/../shared/media}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

clips=(apollo15-mjpeg-176x144-47s.mov bbb-h264-854x480-30s.mp4 bear-h264-1280x720.mp4
  bear-hevc-main10-hdr10-640x360.mp4 bear-mpeg2video-320x192.ts bear-theora-320x180.ogv
  iphone4s-rotated-h264-568x320.mov screencast-jupyterlab-github-1616x1568.mp4
  tractor-vp9-512x288.webm)
settings=("" "--fps 20 --quality 70 --size original" "--crop 40,20,200,120 --caption 10,10:Hello --order pingpong --speed 1.5")
# Ten cases need a tenth setting each: the short clips again at 25 fps, where they are sampled.
extra=("bear-h264-1280x720.mp4|--fps 25" "bear-theora-320x180.ogv|--fps 30 --quality 50"
  "bear-mpeg2video-320x192.ts|--fps 25 --size quarter")

seconds() { # seconds <command...>: wall time of the command
  /usr/bin/time -f "%e" -o "$work/t" "$@" >"$work/out" 2>"$work/err" || { echo nan; return 1; }
  cat "$work/t"
}
to_bytes() { # the estimate's "bytes: N ..." line -> N
  sed -nE 's/^bytes: ([0-9]+).*/\1/p'
}

printf "%-44s %-48s %10s %10s %7s %6s\n" clip settings real estimate error cost
cases=()
for clip in "${clips[@]}"; do
  for s in "${settings[@]}"; do cases+=("$clip|$s"); done
done
cases+=("${extra[@]}")
errors=()
costs=()
for c in "${cases[@]}"; do
  clip="${c%%|*}"; s="${c#*|}"
  # shellcheck disable=SC2086
  tc=$(seconds "$cli" -q $s "$media/$clip" "$work/o.gif") || { echo "$clip $s: conversion failed: $(tail -1 "$work/err")"; continue; }
  real=$(stat -c %s "$work/o.gif")
  # shellcheck disable=SC2086
  te=$(seconds "$cli" -q --estimate $s "$media/$clip" "$work/e.gif") || { echo "$clip $s: estimate failed"; continue; }
  est=$(to_bytes < "$work/out")
  err=$(awk -v e="$est" -v r="$real" 'BEGIN { printf "%.1f", 100 * (e - r) / r }')
  cost=$(awk -v a="$te" -v b="$tc" 'BEGIN { printf "%.0f", (b > 0 ? 100 * a / b : 0) }')
  errors+=("$err"); costs+=("$cost")
  printf "%-44s %-48s %10d %10d %6s%% %5s%%\n" "$clip" "${s:-default}" "$real" "$est" "$err" "$cost"
done
printf "%s\n" "${errors[@]}" | awk '{ a = $1 < 0 ? -$1 : $1; n++; if (a <= 15) w15++; if (a <= 25) w25++; if (a > worst) worst = a; s += a }
  END { printf "\n%d cases: within 15 %%: %d (%.0f %%), within 25 %%: %d, mean |error| %.1f %%, worst %.1f %%\n", n, w15, 100 * w15 / n, w25, s / n, worst
        printf "target 90 %% within 15 %% and all within 25 %%: %s\n", (w15 >= 0.9 * n && w25 == n) ? "PASS" : "FAIL" }'
printf "%s\n" "${costs[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "cost (estimate time / conversion time): median %d %%, worst %d %%; target at most 15 %%: %s\n", v[int((NR + 1) / 2)], v[NR], v[NR] <= 15 ? "PASS" : "FAIL" }'
