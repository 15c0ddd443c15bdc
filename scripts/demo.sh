#!/usr/bin/env bash
# Builds visaprep.exe and runs it under Wine on the sample installation in
# sample/, the way an installer would around its own work, showing the
# framework directory and the 32-bit system directory after every step. The
# sample's foreign visa32.dll and the installer's own are test libraries that
# the build makes with real version resources.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-prerequisites.sh
cmake -S . -B build >/dev/null
cmake --build build --target windows >/dev/null

export WINEPREFIX=$PWD/build/demo/prefix WINEDEBUG=-all
exe=$PWD/build/bin/visaprep.exe
fw=$WINEPREFIX/drive_c/VXIPNP/WinNT
sys=$WINEPREFIX/drive_c/windows/syswow64
libraries=$PWD/build/bin/test/libraries
echo "Making a throwaway 64-bit Wine prefix in build/demo ..."
bash tests/wine/WinePrefix.sh start "$WINEPREFIX" win64
trap 'bash tests/wine/WinePrefix.sh stop "$WINEPREFIX"' EXIT
mkdir -p "$fw"
cp -r sample/WinNT/. "$fw"
cp "$libraries/acme.dll" "$sys/visa32.dll"
wine reg add 'HKLM\SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion' /v FRAMEWORK_PATH \
  /t REG_SZ /d 'C:\VXIPNP\WinNT\' /f /reg:32 >/dev/null

list() {  # list TITLE DIR FIND-ARGS...
  echo "  $1:"
  (cd "$2" && find . "${@:3}" -type f | sort | while read -r file; do
    company=$(strings -e l "$file" | grep -A1 -x CompanyName | tail -n 1 || true)
    printf '    %-22s %5d bytes  %s\n' "${file#./}" "$(wc -c <"$file")" "${company:+company: $company}"
  done)
}
show() {
  list 'C:\VXIPNP\WinNT' "$fw"
  list 'C:\windows\syswow64' "$sys" -maxdepth 1 -iname 'visa32*'
}
run() {
  echo
  echo "> visaprep.exe $*"
  local status=0 output
  output=$(wine "$exe" "$@" 2>&1) || status=$?
  echo "  exit status $status, ${#output} characters printed"
}

echo
echo "The sample installation (FRAMEWORK_PATH = C:\\VXIPNP\\WinNT\\, a visa32.dll of Acme Corp):"
show
run BackUp RemoveVisa32
show
echo
echo "(the installer writes its own configuration file and its own Quarvello visa32.dll)"
printf '[Aliases]\n' > "$fw/Tavrex/visaconf.ini"
cp "$libraries/quarvello.dll" "$sys/visa32.dll"
show
run Copy
show
run RemoveVisa32
echo "  (a Quarvello library stays)"
show
