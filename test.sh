#!/usr/bin/env bash
# Builds everything and runs every test through ctest.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
# Compiler cache entries are shared between clones of the repository (paths relative to it).
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
"$top/scripts/install-deps"
"$top/scripts/build"
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" --timeout 600

# The decoder's tests once more under AddressSanitizer and UndefinedBehaviorSanitizer (leaks
# included): bad input, frames kept across threads, the filter library opened at run time; in a
# small second build of just that test program.
cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVG_SANITIZE=ON \
  >/dev/null
cmake --build "$top/build-asan" --target test_decoder -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$top/build-asan/tests/decoder/test_decoder"

# The playback and seek workers' tests in the same build: 2,000 worker starts and stops must leak
# nothing.
cmake --build "$top/build-asan" --target test_playback -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$top/build-asan/tests/playback/test_playback"

# The main window in the same build: its workers, the strip's thumbnail threads and the background
# writer of frame pictures must free nothing that another thread still uses.
cmake --build "$top/build-asan" --target test_mainwindow -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$top/build-asan/tests/mainwindow/test_mainwindow"

# The GIF writer and encoder in the same build: compression writes its codes straight into
# buffers sized beforehand, and rows are shared among the pool's threads; and the WebP and MP4 writers,
# which hand our frames to libwebp and libavcodec.
cmake --build "$top/build-asan" --target test_engine -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$top/build-asan/tests/engine/test_engine" \
  --gtest_filter='GifLzw.*:GifWriter.*:GifLossyLzw.*:GifEncoder.*:Remapper.*:Conversion.*:OutputFormats.*'

# The worker threads' tests once more under ThreadSanitizer, in a small build of just those test
# programs. The system's FFmpeg is not built for the sanitizer; the suppressions leave out only the
# frame hand-overs inside its own decoding threads.
cmake -S "$top" -B "$top/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVG_TSAN=ON \
  >/dev/null
# The build runs the test-video generator built the same way; what it draws with Qt's own
# (uninstrumented) worker threads is not what is checked here, so it reports nothing.
TSAN_OPTIONS="report_bugs=0" \
  cmake --build "$top/build-tsan" --target test_playback test_common test_engine -j "$(nproc)"
tsan_options="suppressions=$top/tests/playback/tsan.supp halt_on_error=1"
TSAN_OPTIONS="$tsan_options" QT_QPA_PLATFORM=offscreen "$top/build-tsan/tests/playback/test_playback"
TSAN_OPTIONS="$tsan_options" QT_QPA_PLATFORM=offscreen "$top/build-tsan/tests/common/test_common" \
  --gtest_filter='SafeThread.*'
# The engine's pool of threads: rows and jobs handed over, withdrawn and nested; the encoder's rows
# shared among threads: the same indices and bytes as one thread, with nothing written by both; decoded frames handed from the sampling thread to the one that makes
# their pictures; and the scenes' palettes made side by side.
TSAN_OPTIONS="$tsan_options" QT_QPA_PLATFORM=offscreen "$top/build-tsan/tests/engine/test_engine" \
  --gtest_filter='WorkPool.*:PoolJob.*:Remapper.*:GifEncoder.SharingRows*:GifEncoder.EachImage*:GifLzw.*:ConversionFrames.*:DamagedSource.*:PalettePlanner.*'

# Fuzzing: the readers of what users hand the program (the settings file, a language file, a GIF,
# a clip time text, the converter's command line) under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer, in a small clang build of just those readers. Each target runs for
# a minute on a copy of its seed corpus (the repository's stays as it is); a finding stops the
# script, with the input that caused it kept in build-fuzz/findings/.
cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVG_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$top/build-fuzz" --target fuzz_targets -j "$(nproc)"
fuzz_work="$(mktemp -d)"
trap 'rm -rf "$fuzz_work"' EXIT
mkdir -p "$top/build-fuzz/findings"
# The targets run side by side, as many at a time as there are cores: each still fuzzes for its
# minute. A target that finds a fault says so; the script stops once all have ended.
fuzz_one() {
  local target="$1"
  cp -r "$top/tests/fuzz/corpus/$target" "$fuzz_work/$target"
  if ! "$top/build-fuzz/tests/fuzz/fuzz_$target" -max_total_time=60 -timeout=30 \
    -rss_limit_mb=2560 -artifact_prefix="$top/build-fuzz/findings/$target-" \
    "$fuzz_work/$target" >"$fuzz_work/$target.log" 2>&1; then
    tail -n 40 "$fuzz_work/$target.log"
    echo "fuzz_$target found a fault; the input is in $top/build-fuzz/findings/" >&2
    return 1
  fi
  grep -E '^Done [0-9]+ runs' "$fuzz_work/$target.log" | sed "s/^/fuzz_$target: /"
}
export -f fuzz_one
export top fuzz_work
printf "%s\n" settings language gifreader timetext cli |
  xargs -P "$(nproc)" -I{} bash -c 'fuzz_one {}'
