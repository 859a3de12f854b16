#!/usr/bin/env bash
# Shows help files made by kivhc in wine's winhlp32, the real reader of the format:
# makes a small demo project with kivhelp, compiles it with kivhc (uncompressed
# and LZ77-compressed), opens each at its first topic under a virtual X display,
# follows the jump on the page and then the jump into the secondary window with
# mouse clicks and saves the three views as PNG screenshots. Not part of the tests
# (wine is large). Usage: scripts/winhlp.sh [OUTDIR]   (default /tmp/kivhc-winhlp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-/tmp/kivhc-winhlp}" && cd "${1:-/tmp/kivhc-winhlp}" && pwd)

# what the build needs, and wine, a virtual display, screenshots and mouse clicks
"$root/scripts/deps.sh" wine xvfb imagemagick xdotool

build=${BUILD_DIR:-$root/build}
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" --target kivhelp kivhc_tool kivsql
kivhc=$build/kivhc

# The demo project, made as a user makes one: a new project, topics stored in
# its table with the RTF and codes the editor writes (a struck-through hotspot
# is a jump, an underlined one a pop-up, then {HRef=...}), a secondary window,
# the build files, then kivhc. It shows a non-scrolling heading, fonts,
# colours, alignment, a jump, a pop-up, a macro hotspot, a picture, keywords,
# a browse sequence and the secondary window.
demo=$out/demo
rm -rf "$demo"
mkdir -p "$demo"
cd "$demo"
QT_QPA_PLATFORM=offscreen "$build/kivhelp" --new demo.hpj
convert -size 64x32 gradient:red-blue "BMP3:small.bmp"
header='{\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman Times New Roman;}}{\colortbl;\red0\green0\blue128;\red0\green128\blue0;\red128\green0\blue0;}'
"$build/tools/kivsql" . <<SQL
insert into "demo.dbf" (ID, NAME, KEYS, BSEQ, STATE, TEXT) values (10, 'Welcome to KivHelp',
  'start;begin', 'demo:1', 1, '$header
\pard\fs32\b\cf1 Welcome to KivHelp\b0\cf0\fs20\{keepn\}
\pard\li360\sb120 \cf2\strike Go to the second topic\strike0\cf3 \{HRef=20\}\cf0 , or show a \cf2\ul pop-up\ulnone\cf3 \{HRef=30\}\cf0 .\par
\pard\qc Centred, {\b bold}, {\i\f1 italic Times} and {\cf3 red} text; a macro: \cf2\strike About\strike0\cf3 \{HRef=! About()\}\cf0\par
\pard\qr Right-aligned text\par
\pard Picture: \{bmc small.bmp\}\par}');
insert into "demo.dbf" (ID, NAME, BSEQ, STATE, TEXT) values (20, 'Second topic', 'demo:2', 1, '$header
\pard{\b You followed the jump.} Back to \cf2\strike the intro in the side window\strike0\cf3 \{HRef=10>side\}\cf0 .\par}');
insert into "demo.dbf" (ID, NAME, STATE, TEXT) values (30, 'Pop-up', 1, '$header
\pard A pop-up topic.\par}');
SQL
sed -i 's/^\[WINDOWS\]\r$/&\nmain="KivHelp demo window",(10,10,600,600),0\r\nside="Side window",(520,100,480,400),0\r/' demo.hpj
QT_QPA_PLATFORM=offscreen "$build/kivhelp" --build demo.hpj --no-compile
for variant in plain lz; do
  compress=0; [ "$variant" = lz ] && compress=1
  sed -e "s/^COMPRESS=.*\r\$/COMPRESS=$compress\r/" -e "s/^HLP=.*\r\$/HLP=demo-$variant.hlp\r/" \
    -e "s/^ERRORLOG=.*\r\$/ERRORLOG=demo-$variant.err\r/" -e "s/^TITLE=.*\r\$/TITLE=KivHelp demo\r/" \
    demo.hpj > "demo-$variant.hpj"
  "$kivhc" "demo-$variant.hpj"
done

# A virtual display and a fresh wine prefix (the first start takes a while).
display=:$((70 + RANDOM % 20))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display WINEDEBUG=-all WINEPREFIX=$out/wineprefix
sleep 2
wineboot -i >/dev/null 2>&1 || true

for variant in plain lz; do
  (cd "$demo" && exec wine winhlp32 -i 10 "demo-$variant.hlp") >/dev/null 2>&1 &
  viewer=$!
  sleep 8
  import -window root "$out/winhlp-$variant.png"
  # The jump is the first text of the scrolling region, below the heading.
  window=$(xdotool search --name "KivHelp demo window" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + 60)) $((Y + 82)) click 1
  sleep 3
  import -window root "$out/winhlp-$variant-jump.png"
  # The second topic's jump opens the first topic in the secondary window.
  xdotool mousemove $((X + 290)) $((Y + 49)) click 1
  sleep 3
  import -window root "$out/winhlp-$variant-side.png"
  side=$(xdotool search --name "Side window" | head -1)
  [ -n "$side" ] && echo "side window: $(xdotool getwindowgeometry "$side" | tr -s '\n ' ' ')"
  kill $viewer 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  echo "$out/winhlp-$variant.png $out/winhlp-$variant-jump.png $out/winhlp-$variant-side.png"
done
