#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this machine lacks to build
# visaprep and run its tests: the MinGW-w64 cross compilers (i686 for the
# program, x86_64 for its 64-bit test build), Wine with its 32-bit half (for
# WoW64), NSIS, msitools, Xvfb, osslsigncode and OpenSSL, CMake, GoogleTest
# and the linters, then the pinned Inno Setup compiler from the npm
# registry (tests/inno/package-lock.json). Does nothing when all is
# there. Where the kernel runs no i386 program, or wine32:i386 cannot be
# installed, Wine's 32-bit half comes from scripts/wine32-root.sh instead,
# in a folder of its own: nothing i386 goes into dpkg's database then.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

have g++ || need+=(g++)
have make || need+=(make)
have cmake || need+=(cmake)
have makensis || need+=(nsis)
have i686-w64-mingw32-g++ || need+=(g++-mingw-w64-i686)
have x86_64-w64-mingw32-g++ || need+=(g++-mingw-w64-x86-64)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
have clang-format || need+=(clang-format)
have clang-tidy || need+=(clang-tidy)
have cppcheck || need+=(cppcheck)
have git || need+=(git)
have msibuild || need+=(msitools)
have wixl || need+=(wixl)
have Xvfb || need+=(xvfb)
have zip || need+=(zip)
have osslsigncode || need+=(osslsigncode)
have openssl || need+=(openssl)
have python3 || need+=(python3)
have npm || need+=(npm)
installed wine64 || need+=(wine64)
installed wine || need+=(wine)
here=$(cd "$(dirname "$0")" && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
update() {
  $sudo dpkg --add-architecture i386
  # A mirror caught mid-sync fails one index (seen with the i386 security
  # list); the others are still good enough for what follows.
  $sudo apt-get update -qq || echo "apt-get update failed for some index; going on with the lists it has"
}

if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  update
  $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi

# Wine's 32-bit half comes apart from the rest, once binutils (from g++) can
# ask the kernel whether it runs i386 programs at all. When the i386 lists
# lag the amd64 ones it cannot be installed, and the private one serves.
root32=${VISAPREP_WINE32_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/visaprep/wine32}
if bash "$here/wine32-root.sh" kernel && ! installed wine32:i386 && [ ! -f "$root32/.complete" ]; then
  echo "installing: wine32:i386"
  [ ${#need[@]} -gt 0 ] || update
  if ! $sudo apt-get install -y -qq wine32:i386 >/dev/null; then
    echo "could not install wine32:i386: Wine's 32-bit half comes from its packages unpacked apart"
  fi
fi
if [ "${VISAPREP_WINE32_ROUTE:-}" = qemu ] || ! bash "$here/wine32-root.sh" kernel ||
  ! installed wine32:i386; then
  bash "$here/wine32-root.sh"
fi

# The compiler and Setup stubs ship inside the npm package, at the version
# the lock file pins; its install scripts are not needed and not run.
inno=$(cd "$(dirname "$0")/../tests/inno" && pwd)
if [ ! -f "$inno/node_modules/innosetup/bin/ISCC.exe" ]; then
  echo "installing: innosetup (npm, as tests/inno/package-lock.json pins it)"
  npm ci --prefix "$inno" --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null
fi
