#!/usr/bin/env bash
# Renders both dialogs under Xvfb, inside Wine's virtual desktop (which draws the caption that
# a bare X server would not), and writes three pictures:
#   docs/config-dialog.png      the plug-in's configuration dialog as it opens
#   docs/config-dialog-tip.png  the same with the balloon tip of the lock timeout shown
#   docs/update-dialog.png      the checker's notification, from a forced check against the real
#                               version.php under PHP's built-in server on 127.0.0.1
#   docs/setup-directory.png    setup's folder page
#   docs/setup-finish.png       setup's finish page (setup installs into a folder of the prefix,
#                               then its uninstaller removes it again)
# Usage: scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/win-ARCH for the Windows
# tests' target, as scripts/wine-arch.sh picks it, and docs)
# Needs xvfb-run, xwd (x11-apps), convert (imagemagick) and php; uses the project's Wine
# prefix (HB_WINEPREFIX, as scripts/wine-env.sh says).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-arch.sh" || exit 2
source "$root/scripts/jobs.sh"
build=${1:-$root/build/win-$HB_WINE_ARCH}
out=${2:-$root/docs}

if [[ ${HB_SCREENSHOT_INSIDE:-} != 1 ]]; then
  for tool in xvfb-run xwd convert php; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
  done
  if [[ ! -f $build/CMakeCache.txt ]]; then
    "$root/scripts/configure-windows.sh" "$build" >/dev/null
  fi
  cmake --build "$build" -j"$HB_JOBS" --target gen_hushbell show_config show_setup Verlift installer >/dev/null
  mkdir -p "$out"
  # Every Wine command of the session runs with the same display.
  HB_SCREENSHOT_INSIDE=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out"
fi

source "$root/scripts/wine-env.sh"
source "$root/scripts/local-site.sh"
"$root/scripts/wine-prefix.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
win() { winepath -w "$1" 2>/dev/null; }

# Grabs the screen rectangle that READY holds ("x y width height") into NAME.png.
grab() {
  local name=$1 x y w h
  read -r x y w h < <(tr -d '\r' <"$2")
  # The virtual desktop sits at the top left of the screen, so its coordinates are the
  # screen's; a margin of 8 pixels keeps the frame's shadow edge.
  local m=8
  ((x -= m, y -= m, w += 2 * m, h += 2 * m))
  ((x < 0)) && { w=$((w + x)); x=0; }
  ((y < 0)) && { h=$((h + y)); y=0; }
  xwd -root -silent | convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
  echo "wrote $out/$name.png (${w}x${h})"
}

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
      echo "screenshots: the dialog did not come up" >&2
      touch "$done"; wait "$viewer" || true; exit 1
    fi
  done
  grab "$name" "$ready"
  touch "$done"
  wait "$viewer" || true
}

# The notification: a site whose manifest advertises the next version of the built plug-in.
shoot_update() {
  local site=$work/site ini=$work/update.ini
  mkdir -p "$site"
  cp "$build/site/version.php" "$site/"
  local built last
  built=$(sed -n 's/^gen_hushbell = "\(.*\)"$/\1/p' "$build/site/release.ini")
  last=${built##*, }
  sed "s/^gen_hushbell = .*/gen_hushbell = \"${built%, *}, $((last + 1))\"/;
       s/^version = .*/version = \"${built//, /.}\"/" "$build/site/release.ini" >"$site/release.ini"
  sed -i "s/^version = \"\(.*\)\.\([0-9]*\)\"$/version = \"\1.$((last + 1))\"/" "$site/release.ini"
  start_local_site "$site" "$work/php.log"
  printf '[Update]\r\nName=Tavo Hushbell\r\nhomepage=http://127.0.0.1:%s\r\ninterval=7\r\n[Files]\r\ngen_hushbell=%s\r\n' \
    "$site_port" "$(win "$build/bin/gen_hushbell.dll")" >"$ini"
  (cd "$build/bin" && wine explorer /desktop=shot,800x600 Verlift.exe "$(win "$ini")" /FORCE >/dev/null 2>&1) &
  local viewer=$! waited=0
  until grep -q version.php "$work/php.log"; do
    sleep 0.2
    waited=$((waited + 1))
    ((waited > 150)) && { echo "screenshots: the checker never asked" >&2; kill "$site_pid"; exit 1; }
  done
  sleep 2
  # The desktop around the centred dialog is one plain colour: trim it, keep a margin.
  xwd -root -silent | convert xwd:- -crop 800x600+0+0 +repage -trim +repage \
    -bordercolor '#3a6ea5' -border 8 "$out/update-dialog.png"
  kill "$site_pid"
  wineserver -k
  wait "$viewer" || true
  echo "wrote $out/update-dialog.png"
}

# Setup's folder and finish pages, from one run of setup held on each page by show_setup.
shoot_setup() {
  local ready=$work/setup.ready done=$work/setup.done folder='C:\hbscreenshot\Winamp' page=0 name
  (cd "$build/bin" && wine explorer /desktop=shot,800x600 show_setup.exe hushbell-setup.exe "$folder" \
     "$(win "$ready")" "$(win "$done")" >/dev/null 2>&1) &
  local viewer=$!
  for name in setup-directory setup-finish; do
    page=$((page + 1))
    local waited=0
    until [[ -s $ready$page ]]; do
      sleep 0.2
      waited=$((waited + 1))
      ((waited > 300)) && { echo "screenshots: setup's page $page did not come up" >&2; exit 1; }
    done
    grab "$name" "$ready$page"
    touch "$done$page"
  done
  wait "$viewer" || true
  wine "$folder\\uninstall-hushbell.exe" /S "_?=$folder" >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX/drive_c/hbscreenshot"
}

shoot config-dialog ""
shoot config-dialog-tip tip
wineserver -w
shoot_setup
wineserver -w
shoot_update
