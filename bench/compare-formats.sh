#!/usr/bin/env bash
# Side-by-side benchmark of the three formats our converter makes from the same options: GIF,
# animated WebP and MP4 (H.264), beside FFmpeg's own WebP and H.264 encoders on the same frames, on
# the clips of compare-gif.sh. Prints wall time, peak memory, size, SSIM, ssimT and PSNR of each,
# then one line per clip that checks the targets of WebP and MP4 against our GIF, and a summary of
# them at the end. Run by hand; needs the ffmpeg command (with the libwebp_anim and libx264
# encoders) and vg_bench_webp_frames, built with
# `cmake --build <build> --target vg_bench_webp_frames gifclipmaker-cli`.
#
#   bench/compare-formats.sh [build folder]      every clip (CLIPS="bbb tractor" picks some)
#   SWEEP="80 85 90 95 100" bench/compare-formats.sh [build folder]
#                                                 also our WebP and MP4 at each of these --quality
#                                                 values: size and ssimT against our GIF's
#
# OURS=<converter>, ROUNDS=n, MEDIA=<folder> and CLIPS as for compare-gif.sh (bench-common.sh);
# FRAMES=<binary> another vg_bench_webp_frames (default <build>/bench/engine/).
#
# Encoders: ours at the default quality (90) to <clip>.gif, .webp and .mp4 with the clip's start,
# end, frame rate and size; FFmpeg's libwebp_anim at -quality 75 (what our quality 90 means for
# WebP) and libx264 at -crf 24 -preset faster (what it means for MP4), both from the source through
# FFmpeg's fps filter and a lanczos scale, in one pass.
#
# Quality: as compare-gif.sh measures GIFs (see there and bench-common.sh): every file's frames
# against lossless RGB references of the clip at its frame rate and size, ssim and psnr against
# FFmpeg's fps grid, ssimT the best SSIM per frame over four grids (one source frame either way,
# and the nearest frame), so a picture one source frame off the reference's is not counted as
# error. FFmpeg 5.1 reads no animated WebP: vg_bench_webp_frames decodes each WebP with libwebp
# (composed as a viewer shows it) to the picture showing at every step k / fps, which ffmpeg
# stores losslessly (ffv1) and compares like any video. An H.264 picture has an even size, so at
# an odd width or height (427 × 240) our MP4 drops the last column or row (426 × 240) instead of
# scaling: its references are the same, cropped to its top left corner (quality --crop), and
# FFmpeg's MP4 is made the same way (scaled to the clip's size, then cropped), so both compare
# with the same pictures. PSNR and SSIM are on RGB, so the MP4's 4:2:0 colour counts as error, as
# it would on screen.
#
# Targets, checked on every clip against our GIF of it (PASS/FAIL): WebP size ≤ 0.4 × the GIF's,
# WebP ssimT ≥ the GIF's, WebP time ≤ 1.5 × the GIF's; MP4 size ≤ 0.1 × the GIF's, MP4 ssimT ≥ the
# GIF's, MP4 time ≤ the GIF's. All three files cover the same stretch at the same frame rate, so
# sizes compare as they are.
# Times of the short clips (under half a second) move by tens of percent from run to run: take
# ROUNDS=3 or more before reading their time targets.
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
# shellcheck source=bench/bench-common.sh
. "$top/bench/bench-common.sh"
frames_tool="${FRAMES:-$build/bench/engine/vg_bench_webp_frames}"
read -r -a sweep <<< "${SWEEP:-}"
for needed in "$cli" "$frames_tool"; do
  [ -x "$needed" ] || { echo "$needed is missing: cmake --build $build --target vg_bench_webp_frames gifclipmaker-cli" >&2; exit 2; }
done
make_clips

webp_pictures() { # webp_pictures <webp> <fps> <mkv>: the WebP's pictures on the fps grid, lossless
  local w h count
  read -r w h count < <("$frames_tool" --info "$1" "$2") && [ "${count:-0}" -gt 0 ] || return 1
  "$frames_tool" "$1" "$2" |
    ffmpeg -v error -y -f rawvideo -pix_fmt rgb24 -s "${w}x$h" -framerate "$2" -i - -c:v ffv1 "$3"
}

measure_file() { # measure_file <file> [--crop WxH]: prints "ssim psnr ssimT" of a made file
  local file="$1" q=nan p=nan qt=nan rest
  shift
  if [ "${file##*.}" = webp ] && [ -s "$file" ]; then
    webp_pictures "$file" "$fps" "$work/pictures.mkv" || { echo "$file cannot be read back" >&2; file=""; }
    [ -n "$file" ] && file="$work/pictures.mkv"
  fi
  [ -n "$file" ] && [ -s "$file" ] &&
    read -r q p qt rest <<< "$(quality "$@" "$file" "$fps" "$ref" "$refup" "$refdown" "$refnear")"
  rm -f "$work/pictures.mkv"
  echo "$q $p $qt"
}

format="%-11s %-9s %7s %6s %9s %8s %8s %7s\n"
row() { # row <clip> <tool> <time> <mem> <file> [--crop WxH]: sets Q (ssimT) and S (bytes)
  local clip="$1" tool="$2" t="$3" mem="$4" file="$5" q p qt
  shift 5
  S=$(stat -c %s "$file" 2>/dev/null || echo 0)
  read -r q p qt <<< "$(measure_file "$file" "$@")"
  printf "$format" "$clip" "$tool" "$t" "$mem" "$(awk -v b="$S" 'BEGIN { printf "%.1f", b / 1024 }')" "$q" "$qt" "$p"
  Q="$qt"
}

verdicts="$work/verdicts"
: > "$verdicts"
check() { # check <clip> <gif: bytes ssimT time> <webp: bytes ssimT time> <mp4: bytes ssimT time>
  awk -v n="$1" -v sg="$2" -v qg="$3" -v tg="$4" -v sw="$5" -v qw="$6" -v tw="$7" \
    -v sm="$8" -v qm="$9" -v tm="${10}" -v out="$verdicts" '
    function known(x) { return x != "nan" && x != "" }
    function ratio(a, b, digits) { return (known(a) && known(b) && b > 0) ? sprintf("%." digits "f", a / b) : "nan" }
    function verdict(name, value, ok) {
      line = line sprintf("  %s %s %s", name, value, ok ? "PASS" : "FAIL")
      print name, n, (ok ? "PASS" : "FAIL") >> out
    }
    function difference(a, b) { return (known(a) && known(b)) ? sprintf("%+.4f", a - b) : "nan" }
    BEGIN {
      line = sprintf("%-11s", n)
      verdict("webp-size/gif", ratio(sw, sg, 3), known(sw) && sw > 0 && sg > 0 && sw <= 0.4 * sg)
      verdict("webp-ssimT-gif", difference(qw, qg), known(qw) && known(qg) && qw + 0 >= qg + 0)
      verdict("webp-time/gif", ratio(tw, tg, 2), known(tw) && known(tg) && tw + 0 <= 1.5 * tg)
      verdict("mp4-size/gif", ratio(sm, sg, 3), known(sm) && sm > 0 && sg > 0 && sm <= 0.1 * sg)
      verdict("mp4-ssimT-gif", difference(qm, qg), known(qm) && known(qg) && qm + 0 >= qg + 0)
      verdict("mp4-time/gif", ratio(tm, tg, 2), known(tm) && known(tg) && tm + 0 <= tg + 0)
      print line
    }'
}

sweep_format="%-11s %-6s %7s %8s %9s %8s %8s %9s %5s %5s\n"
sweep_rows=""
printf "$format" clip tool time_s mem_MB size_KB ssim ssimT psnr
for clip in "${clips[@]}"; do
  read_clip "$clip" || continue
  make_references "$name" "$src" "$start" "$dur" "$fps" "$w" "$h" "$pre"
  # H.264's even size: the clip's size less its odd last column or row, both for our MP4 (which
  # drops them) and FFmpeg's (cropped after scaling, the same pictures); the references are cropped
  # as they are compared
  even="$((w / 2 * 2))x$((h / 2 * 2))"
  crop=()
  [ "$even" != "${w}x$h" ] && crop=(--crop "$even")

  # the files made, in a folder of their own (the clips made from the film are bbb-*.mp4)
  made="$work/made"
  rm -rf "$made"; mkdir -p "$made"
  declare -A took=() mb=()
  for kind in gif webp mp4; do
    measure "ours $kind" "$cli" -q "$src" "$made/ours.$kind" --start "$start" --end "$end" --fps "$fps" --size "${w}x${h}"
    took[$kind]=$T; mb[$kind]=$MEM
  done
  input=(-v error -y -ss "$start" -t "$dur" -i "$src" -an)
  measure "ffmpeg webp" ffmpeg "${input[@]}" -vf "${pre}fps=$fps,scale=$w:$h:flags=lanczos" \
    -c:v libwebp_anim -quality 75 -loop 0 "$made/ff.webp"
  took[ffwebp]=$T; mb[ffwebp]=$MEM
  measure "ffmpeg mp4" ffmpeg "${input[@]}" -vf "${pre}fps=$fps,scale=$w:$h:flags=lanczos,crop=${even%x*}:${even#*x}:0:0" \
    -c:v libx264 -preset faster -crf 24 -pix_fmt yuv420p -movflags +faststart "$made/ff.mp4"
  took[ffmp4]=$T; mb[ffmp4]=$MEM

  row "$name" gif "${took[gif]}" "${mb[gif]}" "$made/ours.gif"; qgif=$Q; sgif=$S
  row "$name" webp "${took[webp]}" "${mb[webp]}" "$made/ours.webp"; qwebp=$Q; swebp=$S
  row "$name" mp4 "${took[mp4]}" "${mb[mp4]}" "$made/ours.mp4" "${crop[@]}"; qmp4=$Q; smp4=$S
  row "$name" ff-webp "${took[ffwebp]}" "${mb[ffwebp]}" "$made/ff.webp"
  row "$name" ff-mp4 "${took[ffmp4]}" "${mb[ffmp4]}" "$made/ff.mp4" "${crop[@]}"
  check "$name" "$sgif" "$qgif" "${took[gif]}" "$swebp" "$qwebp" "${took[webp]}" "$smp4" "$qmp4" "${took[mp4]}"

  # Our WebP and MP4 at other qualities, against the GIF at the default: which --quality meets the
  # size and ssimT targets (printed together after the table).
  for kind in webp mp4; do
    for q in "${sweep[@]}"; do
      file="$made/q$q.$kind"
      measure "ours $kind --quality $q" "$cli" -q "$src" "$file" --start "$start" --end "$end" --fps "$fps" --size "${w}x${h}" --quality "$q"
      t=$T
      size=$(stat -c %s "$file" 2>/dev/null || echo 0)
      extra=()
      [ "$kind" = mp4 ] && extra=("${crop[@]}")
      read -r _ _ qt <<< "$(measure_file "$file" "${extra[@]}")"
      limit=0.4; [ "$kind" = mp4 ] && limit=0.1
      sweep_rows+=$(awk -v n="$name" -v k="$kind" -v q="$q" -v t="$t" -v tg="${took[gif]}" -v s="$size" -v sg="$sgif" \
        -v qt="$qt" -v qg="$qgif" -v limit="$limit" -v f="$sweep_format" 'BEGIN {
          known = qt != "nan" && qt != "" && qg != "nan" && qg != ""
          printf f, n, k, q, (tg > 0 ? sprintf("%.2f", t / tg) : "nan"), sprintf("%.1f", s / 1024),
            (sg > 0 ? sprintf("%.3f", s / sg) : "nan"), qt, (known ? sprintf("%+.4f", qt - qg) : "nan"),
            (s > 0 && sg > 0 && s <= limit * sg) ? "PASS" : "FAIL", (known && qt + 0 >= qg + 0) ? "PASS" : "FAIL"
        }')$'\n'
    done
  done
  rm -rf "$made" "$work/$name"-ref*.mkv
  unset took mb
done

# Summary: how many clips meet each target, and which do not.
echo
echo "targets (PASS / clips; failing clips)"
awk '{ total[$1]++; if ($3 == "PASS") pass[$1]++; else fail[$1] = fail[$1] " " $2; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
  END { for (i = 1; i <= n; i++) { t = order[i]; printf "  %-15s %2d / %-2d %s\n", t, pass[t], total[t], fail[t] } }' "$verdicts"

if [ -n "$sweep_rows" ]; then
  # the last two columns: the size target (WebP ≤ 0.4 × the GIF's size, MP4 ≤ 0.1 ×) and the
  # ssimT target (≥ the GIF's); time/gif is there to see (WebP ≤ 1.5, MP4 ≤ 1)
  echo
  echo "our WebP and MP4 by --quality, against our GIF at the default"
  printf "$sweep_format" clip format quality time/gif size_KB size/gif ssimT ssimT-gif size ssimT
  printf "%s" "$sweep_rows"
fi
