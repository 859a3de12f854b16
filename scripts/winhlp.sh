#!/usr/bin/env bash
# Shows help files made by kivhc in wine's winhlp32, the real reader of the format:
# compiles a small demo project (uncompressed and LZ77-compressed), opens each at
# its first topic under a virtual X display, follows the jump on the page with a
# mouse click and saves both views as PNG screenshots. Not part of the tests
# (wine is large). Usage: scripts/winhlp.sh [OUTDIR]   (default /tmp/kivhc-winhlp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-/tmp/kivhc-winhlp}" && cd "${1:-/tmp/kivhc-winhlp}" && pwd)

# wine, a virtual display, screenshots and mouse clicks
missing=()
for p in wine xvfb imagemagick xdotool; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=${BUILD_DIR:-$root/build}
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" --target kivhc_tool
kivhc=$build/tools/kivhc

# The demo project: a non-scrolling heading, fonts, colours, alignment, a jump,
# a pop-up, a macro hotspot, a picture, keywords, a browse sequence and a
# secondary window.
demo=$out/demo
mkdir -p "$demo"
convert -size 64x32 gradient:red-blue "BMP3:$demo/small.bmp"
printf '%s\r\n' \
  '{\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman Times New Roman;}}' \
  '{\colortbl;\red0\green0\blue128;\red128\green0\blue0;}' \
  '\pard\keepn{\super #{\footnote {\super #} intro}}{\super ${\footnote {\super $} Intro}}{\super K{\footnote {\super K} start;begin}}{\super +{\footnote {\super +} demo:1}}\fs32\b\cf1 Welcome to KivHelp\par' \
  '\pard\fs20\b0\cf0\li360\sb120 {\uldb Go to the second topic}{\v second}, or show a {\ul pop-up}{\v pop}.\par' \
  '\pard\qc Centred, {\b bold}, {\i\f1 italic Times} and {\cf2 red} text; a macro: {\uldb About}{\v !About()}\par' \
  '\pard Picture: \{bmc small.bmp\}\par' \
  '\page' \
  '{\super #{\footnote {\super #} second}}{\super ${\footnote {\super $} Second topic}}{\super +{\footnote {\super +} demo:2}}{\b You followed the jump.} Back to {\uldb the intro in the side window}{\v intro>side}.\par' \
  '\page' \
  '{\super #{\footnote {\super #} pop}}{\super ${\footnote {\super $} Pop-up}}A pop-up topic.\par' \
  '}' > "$demo/demo.rtf"
for variant in plain lz; do
  compress=0; [ "$variant" = lz ] && compress=1
  printf '%s\r\n' '[OPTIONS]' 'TITLE=KivHelp demo' 'COPYRIGHT=Made by kivhc' "COMPRESS=$compress" \
    "ERRORLOG=demo-$variant.err" "HLP=demo-$variant.hlp" '[FILES]' 'demo.rtf' '[CONFIG]' 'BrowseButtons()' \
    '[WINDOWS]' 'main="KivHelp demo window",(10,10,600,600),0' \
    'side="Side window",(520,100,480,400),0' > "$demo/demo-$variant.hpj"
  "$kivhc" "$demo/demo-$variant.hpj"
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
  (cd "$demo" && exec wine winhlp32 -i intro "demo-$variant.hlp") >/dev/null 2>&1 &
  viewer=$!
  sleep 8
  import -window root "$out/winhlp-$variant.png"
  # The jump is the first text of the scrolling region, below the heading.
  window=$(xdotool search --name "KivHelp demo window" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + 60)) $((Y + 82)) click 1
  sleep 3
  import -window root "$out/winhlp-$variant-jump.png"
  kill $viewer 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  echo "$out/winhlp-$variant.png $out/winhlp-$variant-jump.png"
done
