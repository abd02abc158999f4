#!/usr/bin/env bash
# Size against quality: our converter at --quality 10 ... 100 and gifski at -Q 50, 70, 90, 100 on
# the same clips, each GIF's SSIM measured against a lossless reference. For every gifski point it
# prints the size our curve needs for the same SSIM (interpolated between our two neighbouring
# points) and the ratio; below 1 means ours is smaller at equal SSIM. Run by hand; needs the ffmpeg
# command and gifski (GIFSKI=<binary>, else the one on the PATH).
#
#   bench/quality-curve.sh [build folder]        (CLIPS="bbb tractor" picks some)
#
# The reference takes, at each step of 1/fps, the source frame nearest the step's time (as our
# converter does, and what the first frame of a clip is): FFmpeg's fps filter takes the last frame
# within half a step instead, so its input timestamps are moved by half a step less half a source
# frame first. gifski reads the reference's frames, so its timing is right by construction.
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
cli="${OURS:-$build/program/gifclipmaker-cli}"
media="${MEDIA:-$top/../shared/media}"
gifski="${GIFSKI:-$(command -v gifski || true)}"
[ -n "$gifski" ] || { echo "gifski is needed (GIFSKI=<binary>)"; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# name | file | start | duration | fps | width | height
clips=(
  "bbb|$media/bbb-h264-854x480-30s.mp4|5|10|8|427|240"
  "bear720|$media/bear-h264-1280x720.mp4|0|2.7|10|640|360"
  "tractor|$media/tractor-vp9-512x288.webm|0|9.9|10|256|144"
  "apollo|$media/apollo15-mjpeg-176x144-47s.mov|10|10|10|98|72"
  "screencast|$media/screencast-jupyterlab-github-1616x1568.mp4|0|20|8|808|784"
  "iphone|$media/iphone4s-rotated-h264-568x320.mov|0|2.1|10|160|284"
  "mpeg2|$media/bear-mpeg2video-320x192.ts|0|0.95|10|160|96"
  "theora|$media/bear-theora-320x180.ogv|0|0.95|10|160|90"
)
ours_q=(10 20 30 40 50 60 70 80 90 95 100)
gifski_q=(50 70 90 100)

ssim() { # ssim <gif> <reference> <fps>
  ffmpeg -hide_banner -nostats -i "$1" -i "$2" -lavfi \
    "[0:v]fps=$3,format=rgb24[a];[1:v]fps=$3,format=rgb24[b];[a][b]ssim=shortest=1" -f null - 2>&1 |
    grep -o 'All:[0-9.]*' | head -1 | cut -d: -f2
}

for clip in "${clips[@]}"; do
  IFS='|' read -r name src start dur fps w h <<< "$clip"
  [ -n "${CLIPS:-}" ] && [[ " $CLIPS " != *" $name "* ]] && continue
  [ -f "$src" ] || continue
  rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 "$src" | head -1)
  rate=${rate%%,*}
  shift=$(echo "0.5 / $fps - 0.5 / ($rate)" | bc -l)
  ref="$work/$name-ref.mkv"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" \
    -vf "settb=AVTB,setpts=PTS+$shift/TB,fps=$fps,format=gbrp,scale=$w:$h:flags=lanczos" -an -c:v ffv1 "$ref"
  mkdir -p "$work/$name-png"
  ffmpeg -v error -y -i "$ref" -pix_fmt rgb24 "$work/$name-png/f%05d.png"
  end=$(echo "$start + $dur" | bc -l)
  : > "$work/ours.txt"
  for q in "${ours_q[@]}"; do
    "$cli" -q "$src" "$work/o.gif" --start "$start" --end "$end" --fps "$fps" --size "${w}x${h}" \
      --quality "$q" > /dev/null || continue
    echo "$q $(stat -c %s "$work/o.gif") $(ssim "$work/o.gif" "$ref" "$fps")" >> "$work/ours.txt"
  done
  echo "== $name (${w}x${h}, $fps fps)"
  echo "ours:   quality size_KB ssim"
  awk '{ printf "        %7d %7d %.5f\n", $1, $2 / 1024, $3 }' "$work/ours.txt"
  echo "gifski: -Q size_KB ssim | ours at that ssim: size_KB ratio"
  for q in "${gifski_q[@]}"; do
    "$gifski" -q -Q "$q" --fps "$fps" --width "$w" --height "$h" -o "$work/g.gif" \
      "$work/$name-png"/f*.png 2>/dev/null || continue
    size=$(stat -c %s "$work/g.gif")
    s=$(ssim "$work/g.gif" "$ref" "$fps")
    # Our size at SSIM s: between the two of our points around it (our SSIM grows with quality).
    sort -k3 -g "$work/ours.txt" | awk -v s="$s" -v gs="$size" -v q="$q" '
      { qs[NR] = $3; sz[NR] = $2 } END {
        at = "nan"
        for (i = 1; i <= NR; i++) if (qs[i] >= s) {
          if (i == 1) at = sz[1]
          else at = sz[i-1] + (sz[i] - sz[i-1]) * (s - qs[i-1]) / (qs[i] - qs[i-1])
          break }
        if (at == "nan") printf "        %3d %7d %.5f | above our best ssim: FAIL\n", q, gs / 1024, s
        else printf "        %3d %7d %.5f | %7d %.2f %s\n", q, gs / 1024, s, at / 1024, at / gs,
          (at < gs ? "PASS" : "FAIL") }'
  done
done
