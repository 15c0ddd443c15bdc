#!/usr/bin/env bash
# Builds visaprep.exe and runs it under Wine on the sample installation in
# sample/, the way an installer would around its own work, showing the
# framework directory and the system directory after every step. The
# sample's foreign visa32.dll and the installer's own are test libraries that
# the build makes with real version resources.
#
# Where this host's Wine can start 32-bit programs, natively or emulated, the
# real 32-bit program runs in a 64-bit prefix, under WoW64 as on 64-bit
# Windows. Elsewhere the
# 64-bit build of the same sources runs in a 64-bit prefix, through Wine's
# 64-bit half called directly.
set -euo pipefail
cd "$(dirname "$0")/.."
trap 'status=$?; echo "demo: stopped, because \"$BASH_COMMAND\" failed with status $status." >&2' ERR
bash scripts/install-prerequisites.sh
# The build's own words only when it fails; the host's kind is said below.
quietly() {
  local log status=0
  log=$(mktemp)
  "$@" >"$log" 2>&1 || { status=$?; cat "$log"; }
  rm -f "$log"
  return "$status"
}
quietly cmake -S . -B build
quietly cmake --build build --target windows windows64

export WINEPREFIX=$PWD/build/demo/prefix WINEDEBUG=-all
fw=$WINEPREFIX/drive_c/VXIPNP/WinNT
if probe=$(bash tests/wine/WinePrefix.sh probe); then
  echo "$(sed -n 1p <<<"$probe") Running the 32-bit visaprep.exe under WoW64, as on 64-bit Windows."
  bin=$PWD/build/bin sys=$WINEPREFIX/drive_c/windows/syswow64 sysname='C:\windows\syswow64'
  loader=$(sed -n 4p <<<"$probe") view=32
  export WINELOADER=$loader
else
  echo "$probe This demo runs the 64-bit test build of the same sources instead."
  bin=$PWD/build/bin/x64 sys=$WINEPREFIX/drive_c/windows/system32 sysname='C:\windows\system32'
  loader=/usr/lib/wine/wine64 view=64
  export WINELOADER=$loader
fi
libraries=$bin/test/libraries
echo "Making a throwaway 64-bit Wine prefix in build/demo ..."
bash tests/wine/WinePrefix.sh start "$WINEPREFIX" win64
trap 'bash tests/wine/WinePrefix.sh stop "$WINEPREFIX"' EXIT
mkdir -p "$fw"
cp -r sample/WinNT/. "$fw"
cp "$libraries/acme.dll" "$sys/visa32.dll"
"$loader" reg add 'HKLM\SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion' /v FRAMEWORK_PATH \
  /t REG_SZ /d 'C:\VXIPNP\WinNT\' /f /reg:$view >/dev/null

list() {  # list TITLE DIR FIND-ARGS...
  echo "  $1:"
  (cd "$2" && find . "${@:3}" -type f | sort | while read -r file; do
    company=$(strings -e l "$file" | grep -A1 -x CompanyName | tail -n 1 || true)
    printf '    %-22s %5d bytes  %s\n' "${file#./}" "$(wc -c <"$file")" "${company:+company: $company}"
  done)
}
show() {
  list 'C:\VXIPNP\WinNT' "$fw"
  list "$sysname" "$sys" -maxdepth 1 -iname 'visa32*'
}
run() {
  echo
  echo "> visaprep.exe $*"
  local status=0 output
  output=$("$loader" "$bin/visaprep.exe" "$@" 2>&1) || status=$?
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
echo
echo "(an uninstall takes the installer's own visa32.dll away again)"
rm "$sys/visa32.dll"
show
run RestoreVisa32
echo "  (the Acme Corp library is visa32.dll again)"
show
