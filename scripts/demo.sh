#!/usr/bin/env bash
# Builds visaprep.exe and runs it under Wine on the sample installation in
# sample/, the way an installer would around its own work, showing the
# framework directory after every step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-prerequisites.sh
cmake -S . -B build >/dev/null
cmake --build build --target windows >/dev/null

export WINEPREFIX=$PWD/build/demo/prefix WINEDEBUG=-all
exe=$PWD/build/bin/visaprep.exe
fw=$WINEPREFIX/drive_c/VXIPNP/WinNT
echo "Making a throwaway 64-bit Wine prefix in build/demo ..."
bash tests/wine/WinePrefix.sh start "$WINEPREFIX" win64
trap 'bash tests/wine/WinePrefix.sh stop "$WINEPREFIX"' EXIT
mkdir -p "$fw"
cp -r sample/WinNT/. "$fw"
wine reg add 'HKLM\SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion' /v FRAMEWORK_PATH \
  /t REG_SZ /d 'C:\VXIPNP\WinNT\' /f /reg:32 >/dev/null

show() {
  echo "  C:\\VXIPNP\\WinNT:"
  (cd "$fw" && find . -type f | sort | while read -r file; do
    printf '    %-22s %4d bytes\n' "${file#./}" "$(wc -c <"$file")"
  done)
}
run() {
  echo
  echo "> visaprep.exe $*"
  local status=0 output
  output=$(wine "$exe" "$@" 2>&1) || status=$?
  echo "  exit status $status, ${#output} characters printed"
}

echo
echo "The sample installation (FRAMEWORK_PATH = C:\\VXIPNP\\WinNT\\):"
show
run BackUp
show
echo
echo "(the installer writes its own configuration file)"
printf '[Aliases]\n' > "$fw/Tavrex/visaconf.ini"
show
run Copy
show
