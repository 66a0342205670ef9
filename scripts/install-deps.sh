#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when something is missing.
# Usage: scripts/install-deps.sh [build|test|all|bench]   (default: all; bench: only what the
# benchmarks need beyond the tests)
# For the tests it also installs what the Windows target of the Wine tests needs
# (scripts/wine-arch.sh): 64-bit Wine and the x86_64 compilers where 32-bit programs cannot run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

what=${1:-all}

build_pkgs=(g++-mingw-w64-i686 cmake make g++ imagemagick nsis)
test_pkgs=(wine wine32:i386 xvfb xauth googletest clang libclang-rt-14-dev python3 php-cli x11-apps)
x86_64_pkgs=(wine64 g++-mingw-w64-x86-64)
bench_pkgs=(hyperfine)

# install_missing PACKAGE...: installs those not installed yet (as root), or says how.
install_missing() {
  local p missing=() need_i386=0 missing_arch=0
  for p in "$@"; do
    [[ $p == *:i386 ]] && need_i386=1
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [[ $need_i386 == 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    missing_arch=1
  fi
  [[ ${#missing[@]} == 0 && $missing_arch == 0 ]] && return 0

  local cmd="apt-get install -y --no-install-recommends ${missing[*]}"
  if [[ $(id -u) != 0 ]]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Run as root:" >&2
    [[ $missing_arch == 1 ]] && echo "  dpkg --add-architecture i386" >&2
    echo "  apt-get update && $cmd" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  [[ $missing_arch == 1 ]] && dpkg --add-architecture i386
  apt-get update -qq
  # shellcheck disable=SC2086
  $cmd -qq
}

case "$what" in
  build) install_missing "${build_pkgs[@]}" ;;
  test | all)
    install_missing "${build_pkgs[@]}" "${test_pkgs[@]}"
    # Asked only now: whether 32-bit Wine starts can be told once it is installed.
    source "$root/scripts/wine-arch.sh"
    [[ $HB_WINE_ARCH == x86_64 ]] && install_missing "${x86_64_pkgs[@]}"
    ;;
  bench) install_missing "${bench_pkgs[@]}" ;;
  *) echo "usage: $0 [build|test|all|bench]" >&2; exit 2 ;;
esac
exit 0
