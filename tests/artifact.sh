#!/usr/bin/env bash
# What an installer author relies on in visaprep.exe itself: a 32-bit GUI
# program importing only two system DLLs that Windows always takes from the
# system directory, with no resources, small, with address-space layout
# randomisation and no-execute data, and the same bytes from every clean build.
#   artifact.sh EXE SOURCE_DIR
set -euo pipefail
exe=$1 source=$2
objdump=i686-w64-mingw32-objdump
. "$(dirname "$0")/checks.sh"

headers=$($objdump -p "$exe")
check "PE32 for i386" "$(grep -o 'file format [a-z0-9-]*' <<<"$headers")" "file format pei-i386"
check "GUI subsystem" "$(awk '/^Subsystem/ {print $2}' <<<"$headers")" "00000002"
check "imports" "$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort | tr '\n' ' ')" \
  "ADVAPI32.dll KERNEL32.dll "
check "DYNAMIC_BASE and NX_COMPAT" "$(grep -cxE $'\t+(DYNAMIC_BASE|NX_COMPAT)' <<<"$headers")" "2"
check "no resources" "$($objdump -h "$exe" | grep -c '\.rsrc' || true)" "0"
size=$(stat -c %s "$exe")
check "at most 8 KB ($size bytes)" "$((size <= 8192))" "1"

# A second clean build somewhere else must give the same bytes: no time
# stamp and no build path end up in the file.
other=$(mktemp -d /tmp/visaprep-rebuild.XXXXXX)
trap 'rm -rf "$other"' EXIT
cmake -S "$source" -B "$other/elsewhere" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVISAPREP_BIN_DIR="$other/bin" >/dev/null
cmake --build "$other/elsewhere" --target visaprep >/dev/null
check "reproducible" "$(cmp -s "$exe" "$other/bin/visaprep.exe" && echo same || echo different)" "same"

finish
