#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this machine lacks to build
# visaprep and run its tests: the MinGW-w64 cross compilers (i686 for the
# program, x86_64 for its 64-bit test build), Wine with its 32-bit half (for
# WoW64), NSIS, msitools, Xvfb, osslsigncode and OpenSSL, CMake, GoogleTest
# and the linters, then the pinned Inno Setup compiler from the npm
# registry (tests/inno/package-lock.json). Does nothing when all is
# there. The 32-bit half installs on every host, even one whose kernel
# cannot run it; the tests find that out for themselves.
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
need32=()
installed wine32:i386 || need32+=(wine32:i386)

if [ ${#need[@]} -gt 0 ] || [ ${#need32[@]} -gt 0 ]; then
  echo "installing: ${need[*]} ${need32[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo dpkg --add-architecture i386
  # A mirror caught mid-sync fails one index (seen with the i386 security
  # list); the others are still good enough for what follows.
  $sudo apt-get update -qq || echo "apt-get update failed for some index; going on with the lists it has"
  if [ ${#need[@]} -gt 0 ]; then
    $sudo apt-get install -y -qq "${need[@]}" >/dev/null
  fi
  # Wine's 32-bit half comes apart from the rest: when the i386 lists lag the
  # amd64 ones it cannot be installed, and the tests then skip the 32-bit
  # flavours with the probe's own reason instead of failing the whole run.
  if [ ${#need32[@]} -gt 0 ] && ! $sudo apt-get install -y -qq "${need32[@]}" >/dev/null; then
    echo "could not install ${need32[*]}: the 32-bit Wine flavours and the Inno Setup rows will be skipped"
  fi
fi

# The compiler and Setup stubs ship inside the npm package, at the version
# the lock file pins; its install scripts are not needed and not run.
inno=$(cd "$(dirname "$0")/../tests/inno" && pwd)
if [ ! -f "$inno/node_modules/innosetup/bin/ISCC.exe" ]; then
  echo "installing: innosetup (npm, as tests/inno/package-lock.json pins it)"
  npm ci --prefix "$inno" --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null
fi
