# Sourced by the Wine helpers: a private, quiet prefix under the build folder for the chosen
# target (scripts/wine-arch.sh): win32 for i686, win64 for x86_64, each with its own prefix.
hb_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$hb_root/scripts/wine-arch.sh" || exit 2
if [[ $HB_WINE_ARCH == x86_64 ]]; then
  export WINEARCH=win64
  export WINEPREFIX=${HB_WINEPREFIX:-$hb_root/build/wineprefix-x86_64}
  # wine, wineserver, wineboot and winepath of 64-bit Wine, for these scripts and their children.
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  case ":$PATH:" in *":$hb_root/scripts/wine64:"*) ;; *) export PATH=$hb_root/scripts/wine64:$PATH ;; esac
else
  export WINEARCH=win32
  export WINEPREFIX=${HB_WINEPREFIX:-$hb_root/build/wineprefix-i686}
fi
export WINEDEBUG=-all
# No Mono/Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's WinINet honours proxy variables even for 127.0.0.1 and ignores no_proxy.
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY no_proxy NO_PROXY
