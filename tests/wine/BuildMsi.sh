#!/usr/bin/env bash
# Builds a WiX v3 source into a Windows Installer package with msitools, as
# far as the WiX compiler itself cannot run here: wixl builds all it
# supports, and WixlGaps.py makes what wixl leaves out from the same source.
#   BuildMsi.sh OUT.msi ARCH [NAME=VALUE]... WXS   (ARCH: x86 or x64)
set -euo pipefail
out=$1 arch=$2 wxs=${*: -1}
here=$(cd "$(dirname "$0")" && pwd)
set -- "${@:3:$#-3}"
work=$(mktemp -d /tmp/visaprep-msi.XXXXXX)
trap 'rm -rf "$work"' EXIT
options=(-a "$arch" -D "PLATFORM=$arch")
# wixl finds the files that a source names only relative to the current
# folder, so absolute names are given relative to the root.
for define in "$@"; do
  options+=(-D "${define%%=*}=$(sed 's|^/||' <<<"${define#*=}")")
done
cd /
# wixl warns about every element it drops; those are made below.
if ! wixl "${options[@]}" -o "$out" "$wxs" 2>"$work/warnings"; then
  cat "$work/warnings" >&2
  exit 1
fi
msiinfo export "$out" InstallExecuteSequence >"$work/sequence.idt"
wixl "${options[@]}" -E "$wxs" | python3 "$here/WixlGaps.py" "$work/sequence.idt" "$work"
msibuild "$out" -i "$work/CustomAction.idt"
while read -r query; do
  msibuild "$out" -q "$query"
done <"$work/queries.sql"
