# Sourced by the Wine helpers: a private, quiet 32-bit prefix under the build folder.
hb_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${HB_WINEPREFIX:-$hb_root/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono/Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's WinINet honours proxy variables even for 127.0.0.1 and ignores no_proxy.
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY no_proxy NO_PROXY
