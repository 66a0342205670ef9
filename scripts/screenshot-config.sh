#!/usr/bin/env bash
# Renders the plug-in's configuration dialog under Xvfb, inside Wine's virtual desktop (which
# draws the caption that a bare X server would not), and writes two pictures:
#   docs/config-dialog.png      the dialog as it opens
#   docs/config-dialog-tip.png  the same with the balloon tip of the lock timeout shown
# Usage: scripts/screenshot-config.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/win, docs)
# Needs xvfb-run, xwd (x11-apps) and convert (imagemagick); uses the project's Wine prefix
# (HB_WINEPREFIX, as scripts/wine-env.sh says).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
out=${2:-$root/docs}

if [[ ${HB_SCREENSHOT_INSIDE:-} != 1 ]]; then
  for tool in xvfb-run xwd convert; do
    command -v "$tool" >/dev/null || { echo "screenshot-config: $tool is missing" >&2; exit 1; }
  done
  if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  fi
  cmake --build "$build" -j2 --target gen_hushbell show_config >/dev/null
  mkdir -p "$out"
  # Every Wine command of the session runs with the same display.
  HB_SCREENSHOT_INSIDE=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out"
fi

source "$root/scripts/wine-env.sh"
"$root/scripts/wine-prefix.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
win() { winepath -w "$1" 2>/dev/null; }

# One picture: start the dialog in a virtual desktop, wait until it reports the rectangle to
# capture, grab the screen, then let the dialog close.
shoot() {
  local name=$1 mode=$2 ready=$work/$1.ready done=$work/$1.done ini=$work/$1.ini
  : >"$ini"
  (cd "$build/bin" && wine explorer /desktop=shot,800x600 show_config.exe \
     "$(win "$ini")" "$(win "$ready")" "$(win "$done")" $mode >/dev/null 2>&1) &
  local viewer=$! waited=0
  until [[ -s $ready ]]; do
    sleep 0.2
    waited=$((waited + 1))
    if ((waited > 150)); then
      echo "screenshot-config: the dialog did not come up" >&2
      touch "$done"; wait "$viewer" || true; exit 1
    fi
  done
  local x y w h
  read -r x y w h < <(tr -d '\r' <"$ready")
  # The virtual desktop sits at the top left of the screen, so its coordinates are the
  # screen's; a margin of 8 pixels keeps the frame's shadow edge.
  local m=8
  ((x -= m, y -= m, w += 2 * m, h += 2 * m))
  ((x < 0)) && { w=$((w + x)); x=0; }
  ((y < 0)) && { h=$((h + y)); y=0; }
  xwd -root -silent | convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
  touch "$done"
  wait "$viewer" || true
  echo "wrote $out/$name.png (${w}x${h})"
}

shoot config-dialog ""
shoot config-dialog-tip tip
wineserver -w
