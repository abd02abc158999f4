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
# The clip list, the clips made, the references and their SSIM are shared with compare-formats.sh
# (bench-common.sh).
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
# shellcheck source=bench/bench-common.sh
. "$top/bench/bench-common.sh"
quality_tool="${QUALITY:-$build/bench/engine/vg_bench_gif_quality}"
gifski="${GIFSKI:-$(command -v gifski || true)}"
mem_limit=300

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

make_clips

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
  read_clip "$clip" || continue
  make_references "$name" "$src" "$start" "$dur" "$fps" "$w" "$h" "$pre"
  ref420="$work/$name-ref420.mkv"
  ffmpeg -v error -y -ss "$start" -t "$dur" -i "$src" -vf "${pre:+${pre}format=yuv420p,}fps=$fps,scale=$w:$h:flags=lanczos,setsar=1" -an -c:v ffv1 "$ref420"
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
