#!/usr/bin/env bash
# Side-by-side GIF conversion benchmark: our engine against FFmpeg's two-pass palette recipe and
# gifski, on the same clips. Prints wall time, peak memory, size, SSIM and PSNR of each, and our
# ratios. Run by hand; needs the ffmpeg command (apt-get install ffmpeg, with libx264 for the
# 60 fps clip it makes) and optionally gifski (npm install gifski@1.7.1; set GIFSKI to its binary).
#
#   bench/compare-gif.sh [build folder]             the clips (CLIPS="bbb tractor" picks some)
#   bench/compare-gif.sh --memory [build folder]    1000 frames at 1280 × 720 in every order
#
# OURS=<converter> measures another build of the command-line converter.
#
# Quality: every GIF frame is compared with a lossless reference of the same clip, frame rate and
# size, both through fps=F so frames line up by time, with FFmpeg's ssim and psnr filters on RGB
# pictures. The reference is scaled (lanczos) after conversion to planar RGB, so it keeps full
# colour resolution like a GIF does; gifski reads exactly these frames. The column ssim420 compares
# with a reference scaled in 4:2:0 YUV instead (colour at half the output resolution), which
# counts the colour detail a converter keeps as error.
set -uo pipefail
memory=0
if [ "${1:-}" = "--memory" ]; then
  memory=1
  shift
fi
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
cli="${OURS:-$build/program/gifclipmaker-cli}"
media="${MEDIA:-$top/../shared/media}"
gifski="${GIFSKI:-$(command -v gifski || true)}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

measure() { # measure <label> <command...>: sets T (seconds) and MEM (MB)
  local label="$1"; shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { echo "$label failed: $(tail -2 "$work/err")"; T=nan; MEM=nan; return 1; }
  read -r T kb < "$work/time"; MEM=$((kb / 1024))
}

if [ "$memory" = 1 ]; then
  # 1000 GIF frames of 1280 × 720 from 30 s of video (the source is upscaled): 34 fps forwards and
  # backwards, 17 fps there and back.
  src="$media/bbb-h264-854x480-30s.mp4"
  printf "%-10s %7s %6s %9s\n" order time_s mem_MB size_KB
  for order in original reverse pingpong; do
    fps=34
    [ "$order" = pingpong ] && fps=17
    measure "$order" "$cli" -q "$src" "$work/m.gif" --fps "$fps" --size 1280x720 --order "$order" --max-frames 1000
    printf "%-10s %7s %6s %9d\n" "$order" "$T" "$MEM" $(($(stat -c %s "$work/m.gif" 2>/dev/null || echo 0) / 1024))
  done
  exit 0
fi

# A 60 fps source: 25 s of the film played 2.5 times faster, so every frame differs.
fps60="$work/bbb-60fps.mp4"
if [ -f "$media/bbb-h264-854x480-30s.mp4" ]; then
  ffmpeg -v error -y -ss 5 -t 25 -i "$media/bbb-h264-854x480-30s.mp4" -vf "setpts=PTS/2.5" -r 60 \
    -an -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p "$fps60"
fi

# name | file | start | duration | fps | width | height
clips=(
  "bbb|$media/bbb-h264-854x480-30s.mp4|5|10|8|427|240"
  "bear720|$media/bear-h264-1280x720.mp4|0|2.7|10|640|360"
  "tractor|$media/tractor-vp9-512x288.webm|0|9.9|10|256|144"
  "apollo|$media/apollo15-mjpeg-176x144-47s.mov|10|10|10|98|72"
  "iphone|$media/iphone4s-rotated-h264-568x320.mov|0|2.1|10|160|284"
  "hdr|$media/bear-hevc-main10-hdr10-640x360.mp4|0|2.8|10|320|180"
  "mpeg2|$media/bear-mpeg2video-320x192.ts|0|0.95|10|160|96"
  "theora|$media/bear-theora-320x180.ogv|0|0.95|10|160|90"
  "fps60|$fps60|0|10|20|427|240"
  "screencast|$media/screencast-jupyterlab-github-1616x1568.mp4|0|20|8|808|784"
)

quality() { # quality <gif> <reference> <fps>: prints "ssim psnr"
  local out
  out=$(ffmpeg -hide_banner -nostats -i "$1" -i "$2" -lavfi \
    "[0:v]fps=$3,format=rgb24,split[a1][a2];[1:v]fps=$3,format=rgb24,split[b1][b2];[a1][b1]ssim=shortest=1;[a2][b2]psnr=shortest=1" \
    -f null - 2>&1)
  local ssim psnr
  ssim=$(echo "$out" | grep -o 'All:[0-9.]*' | head -1 | cut -d: -f2)
  psnr=$(echo "$out" | grep -o 'average:[0-9.inf]*' | head -1 | cut -d: -f2)
  echo "${ssim:-nan} ${psnr:-nan}"
}

row() { # row <clip> <tool> <time> <mem> <bytes> <gif>
  local q p q420 p420
  if [ -f "$6" ]; then
    read -r q p <<< "$(quality "$6" "$ref" "$fps")"
    read -r q420 p420 <<< "$(quality "$6" "$ref420" "$fps")"
  else
    q=nan; p=nan; q420=nan
  fi
  printf "%-11s %-8s %7s %6s %9d %7s %7s %7s\n" "$1" "$2" "$3" "$4" $(($5 / 1024)) "$q" "$p" "$q420"
  Q="$q"
}

printf "%-11s %-8s %7s %6s %9s %7s %7s %7s\n" clip tool time_s mem_MB size_KB ssim psnr ssim420
for clip in "${clips[@]}"; do
  IFS='|' read -r name src start dur fps w h <<< "$clip"
  [ -n "${CLIPS:-}" ] && [[ " $CLIPS " != *" $name "* ]] && continue
  [ -f "$src" ] || continue
  end=$(echo "$start + $dur" | bc -l)
  ref="$work/$name-ref.mkv"
  ref420="$work/$name-ref420.mkv"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "fps=$fps,format=gbrp,scale=$w:$h:flags=lanczos" -an -c:v ffv1 "$ref"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "fps=$fps,scale=$w:$h:flags=lanczos" -an -c:v ffv1 "$ref420"
  # decoding alone: the floor
  measure decode ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -an -f null -; tdec=$T

  rm -f "$work/$name-ours.gif"
  measure ours "$cli" -q "$src" "$work/$name-ours.gif" --start "$start" --end "$end" --fps "$fps" --size "${w}x${h}"
  tours=$T; mours=$MEM; sours=$(stat -c %s "$work/$name-ours.gif" 2>/dev/null || echo 0)

  measure ffmpeg ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf \
    "fps=$fps,scale=$w:$h:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=sierra2_4a:diff_mode=rectangle" \
    "$work/$name-ff.gif"
  tff=$T; mff=$MEM; sff=$(stat -c %s "$work/$name-ff.gif" 2>/dev/null || echo 0)

  tgs=nan; sgs=0; mgs=nan
  if [ -n "$gifski" ]; then
    mkdir -p "$work/$name-png"
    ffmpeg -v error -y -i "$ref" -pix_fmt rgb24 "$work/$name-png/f%05d.png"
    measure gifski "$gifski" -Q 90 --fps "$fps" --width "$w" --height "$h" -o "$work/$name-gs.gif" "$work/$name-png"/f*.png
    tgs=$T; mgs=$MEM; sgs=$(stat -c %s "$work/$name-gs.gif" 2>/dev/null || echo 0)
  fi
  printf "%-11s %-8s %7s %6s %9s %7s %7s %7s\n" "$name" decode "$tdec" - - - - -
  row "$name" ours "$tours" "$mours" "$sours" "$work/$name-ours.gif"; qours=$Q
  row "$name" ffmpeg "$tff" "$mff" "$sff" "$work/$name-ff.gif"
  row "$name" gifski "$tgs" "$mgs" "$sgs" "$work/$name-gs.gif"; qgs=$Q
  if [ "$sgs" -gt 0 ]; then
    awk -v n="$name" -v so="$sours" -v sg="$sgs" -v qo="$qours" -v qg="$qgs" -v to="$tours" \
      -v tf="$tff" -v tg="$tgs" -v td="$tdec" 'BEGIN {
        peer = (tf + 0 < tg + 0) ? tf : tg
        limit = 0.4 * peer; if (1.5 * td > limit) limit = 1.5 * td
        printf "%-11s ratios: size/gifski %.2f  ssim-gifski %+.4f  time/min(peers) %.2f  time/decode %.1f  time/limit %.2f\n",
          n, so / sg, qo - qg, to / peer, to / td, to / limit }'
  fi
done
