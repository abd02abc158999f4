#!/usr/bin/env bash
# Side-by-side GIF conversion benchmark: our engine against FFmpeg's two-pass palette recipe and
# gifski, on the same clips. Prints wall time, peak memory, size, SSIM, PSNR and flicker of each,
# then one line per clip that checks our targets, and a summary of them at the end. Run by hand;
# needs the ffmpeg command (apt-get install ffmpeg: libx264 and libvpx make the extra clips) and
# optionally gifski 1.7.1 (GIFSKI=<binary>, else the one on the PATH; Debian has no package, but
# the npm registry's gifski 1.7.1 tarball carries a Linux build as package/bin/debian/gifski).
#
#   bench/compare-gif.sh [build folder]             every clip (CLIPS="bbb vp8 4kfull" picks some)
#   bench/compare-gif.sh --memory [build folder]    1000 frames at 1280 × 720 in every order
#
# OURS=<converter> measures another build of the command-line converter; QUALITY=<binary> another
# vg_bench_gif_quality (default <build>/bench/engine/, built with
# `cmake --build <build> --target vg_bench_gif_quality`). ROUNDS=n times every command n times and
# reports the median time (and the largest peak memory). MEDIA=<folder> reads the clips elsewhere.
#
# Clips: the ten of ../shared/media's kinds, plus clips made here with ffmpeg into the temporary
# folder from the same 10 s of the film (bbb, 5 s to 15 s): VP8 and VP9 (libvpx), ffv1, an odd size
# (853 × 479, VP9 4:2:0, since H.264 4:2:0 needs even sizes) to 427 × 239, and 5 s upscaled to
# 3840 × 2160 (H.264) made 960 px wide and, for memory, 2 s of it at full size; and a 60 fps clip.
#
# Quality: every GIF frame is compared with a lossless reference of the same clip, frame rate and
# size, both through fps=F so frames line up by time, with FFmpeg's ssim and psnr filters on RGB
# pictures. The reference is scaled (lanczos) after conversion to planar RGB, so it keeps full
# colour resolution like a GIF does; gifski reads exactly these frames. The column ssim420 compares
# with a reference scaled in 4:2:0 YUV instead (colour at half the output resolution), which
# counts the colour detail a converter keeps as error. FFmpeg's fps filter, which makes the
# reference (and FFmpeg's and gifski's GIFs), takes for each step the last frame within half a step
# of its time; a converter that takes another frame near the step (the one shown at the step's
# time, or the stretch's middle) is one source frame off, which costs much SSIM on fast motion.
# So ssimT takes per GIF frame the best SSIM of four references: the reference, the same with
# every step taking the source frame before or after (timestamps moved by one frame period before
# the fps filter), and the same with every step taking the source frame nearest its time (which
# differs from FFmpeg's by two frames where a step spans several, as 24 → 5 fps). A gap between ssim and ssimT is timing, not picture quality. The SSIM target uses ssimT, so it judges pictures; whether steps through the
# source are even is what `vg_bench_gif_quality <video> <gif> <start> <fps>` counts.
#
# Flicker: `vg_bench_gif_quality --flicker` reads the GIF (giflib, composed as a viewer shows it)
# and the ffv1 reference through our decoder (planar RGB to RGB is exact) and takes luma
# (0.299 R + 0.587 G + 0.114 B, unrounded) of the picture each shows at every frame step. It is the
# mean |Δluma| of the GIF between consecutive steps on pixels the reference holds still (|Δluma|
# < 0.5) over that step and one step either side, on the grid of the reference (of the four
# ssimT uses) the GIF matches best as a whole: a converter that takes each step's source frame one
# frame earlier or later than FFmpeg's fps filter would otherwise count every moving edge as
# flicker (that shows in SSIM instead).
#
# Size is compared per second of playback (bytes over the GIF's duration): a GIF that covers the
# whole clip can hold a frame more than one made from the reference's frames (0.95 s at 10 fps is
# 10 frames of ours, 9 of FFmpeg's fps filter), which is more picture, not worse compression.
#
# Targets, checked on every clip (PASS/FAIL): size per second ≤ 0.8 × gifski's; ssimT ≥ gifski's; time
# ≤ 0.5 × FFmpeg's two-pass; time ≤ 2 × decoding the clip alone (ffmpeg to null); flicker
# ≤ gifski's; peak memory < 300 MB.
set -uo pipefail
memory=0
if [ "${1:-}" = "--memory" ]; then
  memory=1
  shift
fi
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
cli="${OURS:-$build/program/gifclipmaker-cli}"
quality_tool="${QUALITY:-$build/bench/engine/vg_bench_gif_quality}"
media="${MEDIA:-$top/../shared/media}"
gifski="${GIFSKI:-$(command -v gifski || true)}"
rounds="${ROUNDS:-1}"
mem_limit=300
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

if [ "$memory" = 1 ]; then
  # 1000 GIF frames of 1280 × 720 from 30 s of video (the source is upscaled): 34 fps forwards and
  # backwards, 17 fps there and back.
  src="$media/bbb-h264-854x480-30s.mp4"
  printf "%-10s %7s %6s %9s %s\n" order time_s mem_MB size_KB "mem<${mem_limit}MB"
  for order in original reverse pingpong; do
    fps=34
    [ "$order" = pingpong ] && fps=17
    measure "$order" "$cli" -q "$src" "$work/m.gif" --fps "$fps" --size 1280x720 --order "$order" --max-frames 1000
    verdict=FAIL; [ "$MEM" != nan ] && [ "$MEM" -lt "$mem_limit" ] && verdict=PASS
    printf "%-10s %7s %6s %9d %s\n" "$order" "$T" "$MEM" $(($(stat -c %s "$work/m.gif" 2>/dev/null || echo 0) / 1024)) "$verdict"
  done
  exit 0
fi

wanted() { [ -z "${CLIPS:-}" ] || [[ " $CLIPS " == *" $1 "* ]]; }

# Clips made from the film, each only when asked for.
bbb="$media/bbb-h264-854x480-30s.mp4"
make_clip() { # make_clip <name> <file> <ffmpeg output options...>
  local name="$1" file="$2"; shift 2
  wanted "$name" && [ -f "$bbb" ] && [ ! -f "$file" ] || return 0
  ffmpeg -v error -y "${input[@]}" -an "$@" "$file" || echo "making the $name clip failed" >&2
}
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
uhd="$work/bbb-3840x2160.mp4"
if wanted 4k960 || wanted 4kfull; then
  CLIPS="${CLIPS:-} uhd" make_clip uhd "$uhd" -vf scale=3840:2160:flags=lanczos,setsar=1 -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p
fi

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

quality() { # quality <gif> <fps> <reference> [same clip on other grids...]: prints "ssim psnr ssimT grid"
  # ssim and psnr against the reference; ssimT takes per frame the best ssim over all references;
  # grid is the number (from 0) of the reference the GIF matches best as a whole
  local gif="$1" rate="$2" i=0 out ssim psnr files=()
  shift 2
  for reference in "$@"; do
    [ -s "$reference" ] || continue
    out=$(ffmpeg -hide_banner -nostats -i "$gif" -i "$reference" -lavfi \
      "[0:v]fps=$rate,format=rgb24,split[a1][a2];[1:v]fps=$rate,format=rgb24,split[b1][b2];[a1][b1]ssim=shortest=1:stats_file=$work/ssim$i.txt;[a2][b2]psnr=shortest=1" \
      -f null - 2>&1)
    if [ "$i" = 0 ]; then
      ssim=$(echo "$out" | grep -o 'All:[0-9.]*' | head -1 | cut -d: -f2)
      psnr=$(echo "$out" | grep -o 'average:[0-9.inf]*' | head -1 | cut -d: -f2)
    fi
    [ -s "$work/ssim$i.txt" ] && files+=("$work/ssim$i.txt")
    i=$((i + 1))
  done
  local any
  any=$(awk '{ n = $1; sub(/^n:/, "", n); for (f = 2; f <= NF; f++) if ($f ~ /^All:/) v = substr($f, 5)
      if (FNR == 1) files++
      file = files - 1; whole[file] += v; counted[file]++
      if (FILENAME == ARGV[1]) { frames[n] = 1; best[n] = v } else if ((n in frames) && v > best[n]) best[n] = v }
    END { for (n in frames) { sum += best[n]; count++ }
      grid = 0; for (f in whole) if (whole[f] / counted[f] > whole[grid] / counted[grid]) grid = f
      if (count) printf "%.6f %d", sum / count, grid }' "${files[@]}")
  rm -f "${files[@]}"
  echo "${ssim:-nan} ${psnr:-nan} ${any:-nan 0}"
}

per_second() { # per_second <bytes> <gif>: bytes a second of playing the GIF once (its delays' sum)
  local seconds
  seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$2" 2>/dev/null)
  awk -v b="$1" -v s="${seconds:-0}" 'BEGIN { print (b > 0 && s > 0) ? b / s : "nan" }'
}

flicker() { # flicker <gif> <reference> <fps>: prints the mean |Δluma| on still pixels
  local value=""
  [ -x "$quality_tool" ] && value=$("$quality_tool" --flicker "$2" "$1" "$3" 2>/dev/null | awk '{ print $2 }')
  echo "${value:-nan}"
}

format="%-11s %-8s %7s %6s %9s %8s %8s %7s %8s %7s\n"
row() { # row <clip> <tool> <time> <mem> <bytes> <gif>: sets Q (ssimT) and F (flicker)
  local q=nan p=nan qt=nan q420=nan rest f=nan grid=0 grids=() r
  for r in "$ref" "$refup" "$refdown" "$refnear"; do [ -s "$r" ] && grids+=("$r"); done
  if [ -s "$6" ]; then
    read -r q p qt grid <<< "$(quality "$6" "$fps" "$ref" "$refup" "$refdown" "$refnear")"
    read -r q420 rest <<< "$(quality "$6" "$fps" "$ref420")"
    # on the grid the GIF's steps follow (every tool alike), so moving edges are not flicker
    f=$(flicker "$6" "${grids[$grid]:-$ref}" "$fps")
  fi
  printf "$format" "$1" "$2" "$3" "$4" $(($5 / 1024)) "$q" "$qt" "$p" "$q420" "$f"
  Q="$qt"; F="$f"
}

verdicts="$work/verdicts"
: > "$verdicts"
check() { # check <clip> <ours: bytes/s ssim time flicker mem> <gifski: bytes/s ssim flicker> <ffmpeg time> <decode time>
  awk -v n="$1" -v so="$2" -v qo="$3" -v to="$4" -v fo="$5" -v mo="$6" -v sg="$7" -v qg="$8" \
    -v fg="$9" -v tf="${10}" -v td="${11}" -v memlimit="$mem_limit" -v out="$verdicts" '
    function known(x) { return x != "nan" && x != "" }
    function ratio(a, b) { return (known(a) && known(b) && b > 0) ? sprintf("%.2f", a / b) : "nan" }
    function verdict(name, value, ok) {
      line = line sprintf("  %s %s %s", name, value, ok ? "PASS" : "FAIL")
      print name, n, (ok ? "PASS" : "FAIL") >> out
    }
    BEGIN {
      line = sprintf("%-11s", n)
      verdict("size/gifski", ratio(so, sg), known(so) && known(sg) && so > 0 && sg > 0 && so <= 0.8 * sg)
      verdict("ssimT-gifski", (known(qo) && known(qg)) ? sprintf("%+.4f", qo - qg) : "nan",
              known(qo) && known(qg) && qo + 0 >= qg + 0)
      verdict("time/ffmpeg", ratio(to, tf), known(to) && known(tf) && to <= 0.5 * tf)
      verdict("time/decode", ratio(to, td), known(to) && known(td) && to <= 2 * td)
      verdict("flicker/gifski", (fg + 0 == 0 && known(fo)) ? (fo + 0 == 0 ? "1.00" : "inf") : ratio(fo, fg),
              known(fo) && known(fg) && fo + 0 <= fg + 0)
      verdict("mem_MB", mo, known(mo) && mo + 0 < memlimit)
      print line
    }'
}

printf "$format" clip tool time_s mem_MB size_KB ssim ssimT psnr ssim420 flicker
for clip in "${clips[@]}"; do
  IFS='|' read -r name src start dur fps w h pre <<< "$clip"
  wanted "$name" || continue
  [ -f "$src" ] || { echo "$name: no $src" >&2; continue; }
  end=$(echo "$start + $dur" | bc -l)
  ref="$work/$name-ref.mkv"
  ref420="$work/$name-ref420.mkv"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "${pre}fps=$fps,format=gbrp,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$ref"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "${pre:+${pre}format=yuv420p,}fps=$fps,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$ref420"
  # the same reference with every step one source frame earlier and one later
  # (Ogg streams state no average rate: their r_frame_rate is the period)
  period=$(ffprobe -v error -select_streams v:0 -show_entries stream=avg_frame_rate,r_frame_rate -of csv=p=0 "$src" |
    awk -F'[/,]' 'NR == 1 { if ($3 > 0) { printf "%.9f", ($4 ? $4 : 1) / $3 } else if ($1 > 0) { printf "%.9f", ($2 ? $2 : 1) / $1 } }')
  refup="$work/$name-refnext.mkv"
  refdown="$work/$name-refprev.mkv"
  for shift in "-" "+"; do
    [ -n "$period" ] || break
    out="$refup"; [ "$shift" = + ] && out="$refdown"
    ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "settb=AVTB,setpts=PTS${shift}${period}/TB,${pre}fps=$fps:start_time=0,format=gbrp,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$out"
  done
  # and with every step taking the source frame nearest its time: the latest frame at most half a
  # frame period after it (timestamps moved half a period earlier, rounded up to the step)
  refnear="$work/$name-refnear.mkv"
  rm -f "$refnear"
  [ -n "$period" ] && ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "settb=AVTB,setpts=PTS-${period}/2/TB,${pre}fps=$fps:start_time=0:round=up,format=gbrp,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$refnear"
  # decoding alone: the floor
  measure decode ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -an -f null -; tdec=$T

  rm -f "$work/$name-ours.gif"
  measure ours "$cli" -q "$src" "$work/$name-ours.gif" --start "$start" --end "$end" --fps "$fps" --size "${w}x${h}"
  tours=$T; mours=$MEM; sours=$(stat -c %s "$work/$name-ours.gif" 2>/dev/null || echo 0)

  measure ffmpeg ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf \
    "${pre}fps=$fps,scale=$w:$h:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=sierra2_4a:diff_mode=rectangle" \
    "$work/$name-ff.gif"
  tff=$T; mff=$MEM; sff=$(stat -c %s "$work/$name-ff.gif" 2>/dev/null || echo 0)

  tgs=nan; sgs=0; mgs=nan
  if [ -n "$gifski" ]; then
    mkdir -p "$work/$name-png"
    ffmpeg -v error -y -i "$ref" -pix_fmt rgb24 "$work/$name-png/f%05d.png"
    measure gifski "$gifski" -Q 90 --fps "$fps" --width "$w" --height "$h" -o "$work/$name-gs.gif" "$work/$name-png"/f*.png
    tgs=$T; mgs=$MEM; sgs=$(stat -c %s "$work/$name-gs.gif" 2>/dev/null || echo 0)
    rm -rf "$work/$name-png"
  fi
  printf "$format" "$name" decode "$tdec" - - - - - - -
  row "$name" ours "$tours" "$mours" "$sours" "$work/$name-ours.gif"; qours=$Q; fours=$F
  row "$name" ffmpeg "$tff" "$mff" "$sff" "$work/$name-ff.gif"
  row "$name" gifski "$tgs" "$mgs" "$sgs" "$work/$name-gs.gif"; qgs=$Q; fgs=$F
  check "$name" "$(per_second "$sours" "$work/$name-ours.gif")" "$qours" "$tours" "$fours" "$mours" \
    "$(per_second "$sgs" "$work/$name-gs.gif")" "$qgs" "$fgs" "$tff" "$tdec"
  rm -f "$work/$name"-*.gif "$work/$name"-ref*.mkv
done

# Summary: how many clips meet each target, and which do not.
echo
echo "targets (PASS / clips; failing clips)"
awk '{ total[$1]++; if ($3 == "PASS") pass[$1]++; else fail[$1] = fail[$1] " " $2; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
  END { for (i = 1; i <= n; i++) { t = order[i]; printf "  %-15s %2d / %-2d %s\n", t, pass[t], total[t], fail[t] } }' "$verdicts"
