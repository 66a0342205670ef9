# Sourced: decides which Windows target the Wine tests use, unless HB_WINE_ARCH names one.
#   i686    the 32-bit build under 32-bit Wine, wherever 32-bit programs can run
#   x86_64  the same sources built for 64-bit Windows under 64-bit Wine, where they cannot
# Sets HB_WINE_ARCH and HB_WINE_ARCH_WHY (the reason, for the test summary) and exports both.
if [[ -n ${HB_WINE_ARCH:-} ]]; then
  case $HB_WINE_ARCH in
    i686 | x86_64) HB_WINE_ARCH_WHY=${HB_WINE_ARCH_WHY:-forced by HB_WINE_ARCH} ;;
    *) echo "HB_WINE_ARCH must be i686 or x86_64, not '$HB_WINE_ARCH'" >&2; return 2 ;;
  esac
elif [[ ! -e /usr/lib/wine/wine ]]; then
  # Not decided yet: install-deps.sh installs 32-bit Wine first, then asks again.
  HB_WINE_ARCH=i686 HB_WINE_ARCH_WHY="32-bit Wine is not installed yet"
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  HB_WINE_ARCH=i686 HB_WINE_ARCH_WHY="32-bit programs run on this machine"
else
  HB_WINE_ARCH=x86_64 HB_WINE_ARCH_WHY="this kernel cannot run 32-bit programs (32-bit Wine fails to start)"
fi
export HB_WINE_ARCH HB_WINE_ARCH_WHY
