#!/usr/bin/env bash
# Checks the installation as a user and an administrator meet it:
#   check-install.sh <build folder> <application identifier>
# installs into a temporary DESTDIR twice, runs the installed commands, validates the desktop
# entry and the metainfo, then makes the .deb and reads its control data, file list and
# maintainer scripts. Needs QT_QPA_PLATFORM=offscreen for the window.
set -uo pipefail
build="$1"
app_id="$2"
tmp="$(mktemp -d)"
gui_pid=""
cleanup() {
  [ -n "$gui_pid" ] && kill -KILL "$gui_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { # check <description> <command...>
  local what="$1"; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

root="$tmp/root"
prefix="$root/usr"
program="$prefix/lib/gifclipmaker"
install_tree() { DESTDIR="$root" cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1; }

# --- the installed tree -------------------------------------------------------------------------
check "cmake --install into DESTDIR" install_tree || { cat "$tmp/install.log" >&2; exit 1; }
for f in gifclipmaker gifclipmaker-cli Sample.mp4 registry.ini Languages/English.xml \
         resource/StartBK.bmp resource/DeleteFlag.png; do
  check "installed $f" test -s "$program/$f"
done
check "installed one skin folder" test "$(ls "$program/Skin" | wc -l)" -eq 1
for c in gifclipmaker gifclipmaker-cli; do
  check "command $c is a link into the program folder" \
    test "$(readlink -f "$prefix/bin/$c")" = "$(readlink -f "$program/$c")"
done
check "no build-tree identifier copied" \
  test "$(cat "$program/registry.ini")" != "$(cat "$build/program/registry.ini")"
check "identifier written" grep -Eq '^insguid=\{[0-9A-F-]{36}\}$' "$program/registry.ini"

# PNG width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }
for n in 48 128 256; do
  icon="$prefix/share/icons/hicolor/${n}x${n}/apps/$app_id.png"
  check "icon ${n}x${n}" test "$(png_size "$icon" 2>/dev/null)" = "${n}x${n}"
done
svg="$prefix/share/icons/hicolor/scalable/apps/$app_id.svg"
check "scalable icon" grep -q '<svg ' "$svg"

desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
check "desktop-file-validate" desktop-file-validate "$desktop"
check "desktop entry takes one file" grep -Eq '^Exec=gifclipmaker %f$' "$desktop"
check "desktop entry offers the program for videos" \
  grep -Eq '^MimeType=(.*;)?video/mp4;(.*;)?video/x-matroska;(.*;)?video/webm;' "$desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$metainfo"

# --- the installed command-line converter --------------------------------------------------------
"$prefix/bin/gifclipmaker-cli" "$program/Sample.mp4" "$tmp/sample.gif" --size half --fps 10 \
  >"$tmp/cli.log" 2>&1
check "installed converter exits 0" test $? -eq 0
check "installed converter wrote a GIF" bash -c "head -c 6 '$tmp/sample.gif' | grep -q GIF89a"

# --- the installed program, started offscreen and ended by SIGTERM -------------------------------
export XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -p "$XDG_DATA_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
"$prefix/bin/gifclipmaker" "$program/Sample.mp4" >"$tmp/gui.log" 2>&1 &
gui_pid=$!
log=""
for _ in $(seq 1 300); do
  log="$(find "$XDG_DATA_HOME" -name Log.txt -size +0 2>/dev/null | head -n 1)"
  [ -n "$log" ] && break
  kill -0 "$gui_pid" 2>/dev/null || break
  sleep 0.1
done
check "program started and wrote its log" test -n "$log"
for _ in $(seq 1 300); do
  grep -q "open from the command line: .*Sample.mp4" "$log" 2>/dev/null && break
  sleep 0.1
done
check "program opened the file it was given" grep -q "open from the command line: .*Sample.mp4" "$log"
sleep 1
kill -TERM "$gui_pid" 2>/dev/null
status=124
for _ in $(seq 1 200); do
  if ! kill -0 "$gui_pid" 2>/dev/null; then wait "$gui_pid"; status=$?; break; fi
  sleep 0.1
done
[ $status -eq 124 ] && kill -KILL "$gui_pid" 2>/dev/null
gui_pid=""
check "program ended on SIGTERM with exit code 0 (was $status)" test $status -eq 0
check "program saved its settings" test -n "$(find "$XDG_DATA_HOME" -name ConfigSet.vgset -size +0)"
[ $failures -eq 0 ] || cat "$tmp/gui.log" >&2

# --- a second install keeps the identifier -------------------------------------------------------
before="$(cat "$program/registry.ini")"
check "second cmake --install" install_tree
check "second install keeps registry.ini" test "$(cat "$program/registry.ini")" = "$before"

# --- the .deb -------------------------------------------------------------------------------------
(cd "$build" && cpack --config CPackConfig.cmake -G DEB -B "$tmp/deb" >"$tmp/cpack.log" 2>&1)
check "cpack -G DEB" test $? -eq 0
deb="$(ls "$tmp"/deb/*.deb 2>/dev/null | head -n 1)"
if [ -z "$deb" ]; then
  cat "$tmp/cpack.log" >&2
  echo "$failures check(s) failed" >&2
  exit 1
fi
field() { dpkg-deb -f "$deb" "$1"; }
check "package name" test "$(field Package)" = gifclipmaker
check "package version" test "$(field Version)" = 3.4.0
check "package architecture" test "$(field Architecture)" = "$(dpkg --print-architecture)"
depends="$(field Depends)"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libavformat libavcodec libswscale libavutil \
           libavfilter libimagequant libgif fonts-liberation2; do
  check "depends on $lib" grep -q "$lib" <<<"$depends"
done
dpkg-deb -c "$deb" | awk '{print $6}' >"$tmp/files"
for f in ./usr/bin/gifclipmaker ./usr/bin/gifclipmaker-cli ./usr/lib/gifclipmaker/gifclipmaker \
         ./usr/share/doc/gifclipmaker/copyright ./usr/share/man/man1/gifclipmaker.1.gz \
         ./usr/lib/gifclipmaker/Sample.mp4 "./usr/share/applications/$app_id.desktop" \
         "./usr/share/metainfo/$app_id.metainfo.xml" \
         "./usr/share/icons/hicolor/256x256/apps/$app_id.png"; do
  check "package holds $f" grep -qxF "$f" "$tmp/files"
done
check "package does not hold registry.ini" bash -c "! grep -q registry.ini '$tmp/files'"

# The maintainer scripts, run against a stand-in program folder.
dpkg-deb -e "$deb" "$tmp/control"
stand_in="$tmp/standin/gifclipmaker"
mkdir -p "$stand_in"
for s in postinst postrm; do
  sed "s|/usr/lib/gifclipmaker|$stand_in|g" "$tmp/control/$s" >"$tmp/$s"
done
sh "$tmp/postinst" configure
first="$(cat "$stand_in/registry.ini" 2>/dev/null)"
check "postinst writes the identifier" grep -Eq '^insguid=\{[0-9A-F-]{36}\}$' <<<"$first"
sh "$tmp/postinst" configure 3.4.0
check "postinst on upgrade keeps it" test "$(cat "$stand_in/registry.ini")" = "$first"
sh "$tmp/postrm" remove
check "remove keeps it" test -f "$stand_in/registry.ini"
sh "$tmp/postrm" purge
check "purge removes it" test ! -e "$stand_in/registry.ini"

if command -v lintian >/dev/null; then
  if lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1; then
    pass "lintian finds no errors"
  else
    fail "lintian finds errors"; cat "$tmp/lintian.log" >&2
  fi
else
  echo "lintian is not installed: skipped"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all installation checks passed"
