# Shared by the side-by-side benchmarks (compare-gif.sh, compare-formats.sh), sourced after the
# caller has set `top` (the source tree) and `build` (the build folder), with `set -uo pipefail`:
# the converter and media folders, the temporary folder, timing, the clip list and the clips made
# from the film, the lossless references on four frame grids, and SSIM/PSNR against them.
#
# OURS=<converter> measures another build of the command-line converter. ROUNDS=n times every
# command n times and reports the median time (and the largest peak memory). MEDIA=<folder> reads
# the clips elsewhere. CLIPS="bbb vp8 4kfull" picks clips (all of them without it).
# shellcheck shell=bash disable=SC2034  # (the variables are for the callers)
cli="${OURS:-$build/program/gifclipmaker-cli}"
media="${MEDIA:-$top/../shared/media}"
rounds="${ROUNDS:-1}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

measure() { # measure <label> <command...>: sets T (median seconds) and MEM (largest peak, MB)
  local label="$1"; shift
  local times=() kb peak=0 t r
  for ((r = 0; r < rounds; r++)); do
    if ! /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"; then
      echo "$label failed: $(tail -2 "$work/err")" >&2; T=nan; MEM=nan; return 1
    fi
    read -r t kb < "$work/time"
    times+=("$t"); [ "$kb" -gt "$peak" ] && peak=$kb
  done
  T=$(printf "%s\n" "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  MEM=$((peak / 1024))
}

wanted() { [ -z "${CLIPS:-}" ] || [[ " $CLIPS " == *" $1 "* ]]; }

# read_clip <entry of the list below>: sets name, src, start, dur, fps, w, h, pre and end; false
# for a clip CLIPS does not pick or whose file is not there (said on standard error).
read_clip() {
  IFS='|' read -r name src start dur fps w h pre <<< "$1"
  wanted "$name" || return 1
  [ -f "$src" ] || { echo "$name: no $src" >&2; return 1; }
  end=$(echo "$start + $dur" | bc -l)
}

# Clips made from the film, each only when asked for.
bbb="$media/bbb-h264-854x480-30s.mp4"
make_clip() { # make_clip <name> <file> <ffmpeg output options...>: reads the film as `input` says
  local name="$1" file="$2"; shift 2
  wanted "$name" && [ -f "$bbb" ] && [ ! -f "$file" ] || return 0
  ffmpeg -v error -y "${input[@]}" -an "$@" "$file" || echo "making the $name clip failed" >&2
}
uhd="$work/bbb-3840x2160.mp4"
make_clips() { # the clips of the list below that are made from the film (those CLIPS picks)
  local input
  # A 60 fps source: 25 s of the film played 2.5 times faster, so every frame differs.
  input=(-ss 5 -t 25 -i "$bbb")
  make_clip fps60 "$work/bbb-60fps.mp4" -vf "setpts=PTS/2.5" -r 60 -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p
  input=(-ss 5 -t 10 -i "$bbb")
  make_clip vp8 "$work/bbb-vp8.webm" -c:v libvpx -deadline good -cpu-used 4 -b:v 2M -threads 2
  make_clip vp9 "$work/bbb-vp9.webm" -c:v libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -b:v 1500k -threads 2
  make_clip odd "$work/bbb-853x479.webm" -vf scale=853:479 -c:v libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -b:v 1500k -threads 2 -pix_fmt yuv420p
  make_clip ffv1 "$work/bbb-ffv1.mkv" -c:v ffv1 -pix_fmt yuv420p
  input=(-ss 5 -t 5 -i "$bbb")
  # square pixels, as cameras make 4K (854 × 480 scaled to 16:9 would get pixels 1281:1280 wide)
  if wanted 4k960 || wanted 4kfull; then
    CLIPS="${CLIPS:-} uhd" make_clip uhd "$uhd" -vf scale=3840:2160:flags=lanczos,setsar=1 -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p
  fi
}

# HDR (PQ or HLG) pictures as a standard-range screen shows them, the way our decoder maps them:
# linear light at 100 cd/m², Hable's curve, BT.709. Every converter and the references get the
# same pictures; without it the references would hold the PQ signal read as if it were BT.709.
tonemap="zscale=t=linear:p=bt709:npl=100,format=gbrpf32le,tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=full,format=gbrp,"

# name | file | start | duration | fps | width | height [| filter before the frame rate]
clips=(
  "bbb|$bbb|5|10|8|427|240"
  "bear720|$media/bear-h264-1280x720.mp4|0|2.7|10|640|360"
  "tractor|$media/tractor-vp9-512x288.webm|0|9.9|10|256|144"
  "apollo|$media/apollo15-mjpeg-176x144-47s.mov|10|10|10|98|72"
  "iphone|$media/iphone4s-rotated-h264-568x320.mov|0|2.1|10|160|284"
  "hdr|$media/bear-hevc-main10-hdr10-640x360.mp4|0|2.8|10|320|180|$tonemap"
  "mpeg2|$media/bear-mpeg2video-320x192.ts|0|0.95|10|160|96"
  "theora|$media/bear-theora-320x180.ogv|0|0.95|10|160|90"
  "fps60|$work/bbb-60fps.mp4|0|10|20|427|240"
  "screencast|$media/screencast-jupyterlab-github-1616x1568.mp4|0|20|8|808|784"
  "vp8|$work/bbb-vp8.webm|0|10|8|427|240"
  "vp9|$work/bbb-vp9.webm|0|10|8|427|240"
  "odd|$work/bbb-853x479.webm|0|10|8|427|239"
  "ffv1|$work/bbb-ffv1.mkv|0|10|8|427|240"
  "4k960|$uhd|0|5|10|960|540"
  "4kfull|$uhd|0|2|5|3840|2160"
)

# make_references <name> <file> <start> <duration> <fps> <width> <height> [filter]: lossless
# references of a clip (ffv1, planar RGB scaled with lanczos after the conversion to RGB, so they
# keep full colour resolution), on four grids of frames. Sets their names:
#   ref       FFmpeg's fps filter: each step takes the last source frame within half a step
#   refup     the same with every step one source frame later (timestamps moved one period back)
#   refdown   the same with every step one source frame earlier
#   refnear   every step takes the source frame nearest its time (the latest at most half a frame
#             period after it)
# and `period`, the source's frame period in seconds (empty if the file states no rate: then only
# ref is made).
make_references() {
  local name="$1" src="$2" start="$3" dur="$4" rate="$5" w="$6" h="$7" pre="${8:-}" shift out
  ref="$work/$name-ref.mkv"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "${pre}fps=$rate,format=gbrp,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$ref"
  # (Ogg streams state no average rate: their r_frame_rate is the period)
  period=$(ffprobe -v error -select_streams v:0 -show_entries stream=avg_frame_rate,r_frame_rate -of csv=p=0 "$src" |
    awk -F'[/,]' 'NR == 1 { if ($3 > 0) { printf "%.9f", ($4 ? $4 : 1) / $3 } else if ($1 > 0) { printf "%.9f", ($2 ? $2 : 1) / $1 } }')
  refup="$work/$name-refnext.mkv"
  refdown="$work/$name-refprev.mkv"
  refnear="$work/$name-refnear.mkv"
  rm -f "$refup" "$refdown" "$refnear"
  [ -n "$period" ] || return 0
  for shift in "-" "+"; do
    out="$refup"; [ "$shift" = + ] && out="$refdown"
    ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "settb=AVTB,setpts=PTS${shift}${period}/TB,${pre}fps=$rate:start_time=0,format=gbrp,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$out"
  done
  # timestamps moved half a period earlier, rounded up to the step
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "settb=AVTB,setpts=PTS-${period}/2/TB,${pre}fps=$rate:start_time=0:round=up,format=gbrp,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$refnear"
}

# quality [--crop WxH] <file> <fps> <reference> [same clip on other grids...]: prints
# "ssim psnr ssimT grid". ssim and psnr against the reference; ssimT takes per frame the best ssim
# over all references; grid is the number (from 0) of the reference the file matches best as a
# whole. --crop compares only the references' top left W × H (a file made smaller than them by
# dropping its last column or row, as an H.264 video of an odd size is).
quality() {
  local crop=""
  if [ "$1" = --crop ]; then
    crop=",crop=${2%x*}:${2#*x}:0:0"
    shift 2
  fi
  local gif="$1" rate="$2" i=0 out ssim psnr files=()
  shift 2
  for reference in "$@"; do
    [ -s "$reference" ] || continue
    out=$(ffmpeg -hide_banner -nostats -i "$gif" -i "$reference" -lavfi \
      "[0:v]fps=$rate,format=rgb24,split[a1][a2];[1:v]fps=$rate,format=rgb24$crop,split[b1][b2];[a1][b1]ssim=shortest=1:stats_file=$work/ssim$i.txt;[a2][b2]psnr=shortest=1" \
      -f null - 2>&1)
    if [ "$i" = 0 ]; then
      ssim=$(echo "$out" | grep -o 'All:[0-9.]*' | head -1 | cut -d: -f2)
      psnr=$(echo "$out" | grep -o 'average:[0-9.inf]*' | head -1 | cut -d: -f2)
    fi
    [ -s "$work/ssim$i.txt" ] && files+=("$work/ssim$i.txt")
    i=$((i + 1))
  done
  local any=""
  # (awk without files would read standard input)
  [ "${#files[@]}" -gt 0 ] && any=$(awk '{ n = $1; sub(/^n:/, "", n); for (f = 2; f <= NF; f++) if ($f ~ /^All:/) v = substr($f, 5)
      if (FNR == 1) files++
      file = files - 1; whole[file] += v; counted[file]++
      if (FILENAME == ARGV[1]) { frames[n] = 1; best[n] = v } else if ((n in frames) && v > best[n]) best[n] = v }
    END { for (n in frames) { sum += best[n]; count++ }
      grid = 0; for (f in whole) if (whole[f] / counted[f] > whole[grid] / counted[grid]) grid = f
      if (count) printf "%.6f %d", sum / count, grid }' "${files[@]}")
  [ "${#files[@]}" -gt 0 ] && rm -f "${files[@]}"
  echo "${ssim:-nan} ${psnr:-nan} ${any:-nan 0}"
}
