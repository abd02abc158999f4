#!/usr/bin/env bash
# Side-by-side GIF conversion benchmark: our engine against FFmpeg's two-pass palette recipe and
# gifski, on the same clips. Prints wall time, peak memory, size, SSIM and PSNR of each, and our
# ratios. Run by hand; needs the ffmpeg command (apt-get install ffmpeg) and optionally gifski
# (npm install gifski@1.7.1; set GIFSKI to its binary).
#
#   bench/compare-gif.sh [build folder]
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
cli="$build/program/gifclipmaker-cli"
media="${MEDIA:-$top/../shared/media}"
gifski="${GIFSKI:-$(command -v gifski || true)}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# name | file | start | duration | fps | width | height
clips=(
  "bbb|bbb-h264-854x480-30s.mp4|5|10|8|427|240"
  "bear720|bear-h264-1280x720.mp4|0|2.7|10|640|360"
  "tractor|tractor-vp9-512x288.webm|0|9.9|10|256|144"
  "apollo|apollo15-mjpeg-176x144-47s.mov|10|10|10|78|72"
  "iphone|iphone4s-rotated-h264-568x320.mov|0|2.1|10|160|284"
  "hdr|bear-hevc-main10-hdr10-640x360.mp4|0|2.8|10|320|180"
  "mpeg2|bear-mpeg2video-320x192.ts|0|0.95|10|160|96"
  "theora|bear-theora-320x180.ogv|0|0.95|10|160|90"
  "screencast|screencast-jupyterlab-github-1616x1568.mp4|0|20|8|808|784"
)

measure() { # measure <label> <command...>: sets T (seconds) and MEM (MB)
  local label="$1"; shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { echo "$label failed: $(tail -2 "$work/err")"; T=nan; MEM=nan; return 1; }
  read -r T kb < "$work/time"; MEM=$((kb / 1024))
}

quality() { # quality <gif> <reference> <fps>: prints "ssim psnr"
  local out
  out=$(ffmpeg -hide_banner -nostats -i "$1" -i "$2" -lavfi \
    "[0:v]fps=$3,format=rgb24,split[a1][a2];[1:v]fps=$3,format=rgb24,split[b1][b2];[a1][b1]ssim;[a2][b2]psnr" \
    -f null - 2>&1)
  local ssim psnr
  ssim=$(echo "$out" | grep -o 'All:[0-9.]*' | head -1 | cut -d: -f2)
  psnr=$(echo "$out" | grep -o 'average:[0-9.inf]*' | head -1 | cut -d: -f2)
  echo "${ssim:-nan} ${psnr:-nan}"
}

printf "%-11s %-8s %7s %6s %9s %7s %7s\n" clip tool time_s mem_MB size_KB ssim psnr
for spec in "${clips[@]}"; do
  IFS='|' read -r name file start dur fps w h <<< "$spec"
  src="$media/$file"
  [ -f "$src" ] || continue
  end=$(echo "$start + $dur" | bc -l)
  ref="$work/$name-ref.mkv"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "fps=$fps,scale=$w:$h:flags=lanczos" -an -c:v ffv1 "$ref"
  # decoding alone: the floor
  measure decode ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -an -f null -; tdec=$T

  measure ours "$cli" -q "$src" "$work/$name-ours.gif" --start "$start" --end "$end" --fps "$fps" --size "${w}x${h}"
  tours=$T; mours=$MEM; sours=$(stat -c %s "$work/$name-ours.gif" 2>/dev/null || echo 0)
  read -r qours pours <<< "$(quality "$work/$name-ours.gif" "$ref" "$fps")"

  measure ffmpeg ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf \
    "fps=$fps,scale=$w:$h:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=sierra2_4a:diff_mode=rectangle" \
    "$work/$name-ff.gif"
  tff=$T; mff=$MEM; sff=$(stat -c %s "$work/$name-ff.gif" 2>/dev/null || echo 0)
  read -r qff pff <<< "$(quality "$work/$name-ff.gif" "$ref" "$fps")"

  tgs=nan; sgs=0; qgs=nan; pgs=nan; mgs=nan
  if [ -n "$gifski" ]; then
    mkdir -p "$work/$name-png"
    ffmpeg -v error -y -i "$ref" "$work/$name-png/f%05d.png"
    measure gifski "$gifski" -Q 90 --fps "$fps" -o "$work/$name-gs.gif" "$work/$name-png"/f*.png
    tgs=$T; mgs=$MEM; sgs=$(stat -c %s "$work/$name-gs.gif" 2>/dev/null || echo 0)
    read -r qgs pgs <<< "$(quality "$work/$name-gs.gif" "$ref" "$fps")"
  fi
  printf "%-11s %-8s %7s %6s %9d %7s %7s\n" "$name" decode "$tdec" - 0 - -
  printf "%-11s %-8s %7s %6s %9d %7s %7s\n" "$name" ours "$tours" "$mours" $((sours / 1024)) "$qours" "$pours"
  printf "%-11s %-8s %7s %6s %9d %7s %7s\n" "$name" ffmpeg "$tff" "$mff" $((sff / 1024)) "$qff" "$pff"
  printf "%-11s %-8s %7s %6s %9d %7s %7s\n" "$name" gifski "$tgs" "$mgs" $((sgs / 1024)) "$qgs" "$pgs"
  if [ "$sgs" -gt 0 ]; then
    printf "%-11s ratios: size/gifski %.2f  ssim-gifski %+.4f  time/min(peers) %.2f  time/decode %.1f\n" "$name" \
      "$(echo "$sours / $sgs" | bc -l)" "$(echo "$qours - $qgs" | bc -l)" \
      "$(echo "$tours / ($tff < $tgs ? $tff : $tgs)" | bc -l)" "$(echo "$tours / $tdec" | bc -l)"
  fi
done
