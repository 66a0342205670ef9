#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when something is missing.
# Usage: scripts/install-deps.sh [build|test|all]   (default: all)
set -euo pipefail

what=${1:-all}

build_pkgs=(g++-mingw-w64-i686 cmake make g++ imagemagick nsis)
test_pkgs=(wine wine32:i386 xvfb xauth googletest clang libclang-rt-14-dev python3 php-cli x11-apps)

pkgs=("${build_pkgs[@]}")
case "$what" in
  build) ;;
  test|all) pkgs+=("${test_pkgs[@]}") ;;
  *) echo "usage: $0 [build|test|all]" >&2; exit 2 ;;
esac

need_i386=0
for p in "${pkgs[@]}"; do
  [[ $p == *:i386 ]] && need_i386=1
done
if [[ $need_i386 == 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  missing_arch=1
else
  missing_arch=0
fi

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [[ ${#missing[@]} == 0 && $missing_arch == 0 ]]; then
  exit 0
fi

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
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
