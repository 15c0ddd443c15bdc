#!/usr/bin/env bash
# Builds a WiX v3 source into a Windows Installer package with msitools, as
# far as the WiX compiler itself cannot run here: wixl builds all it
# supports, and WixlGaps.py makes what wixl leaves out from the same source.
# Its sources are linked first, as wixl cannot (see WixlGaps.py).
#   BuildMsi.sh OUT.msi ARCH [NAME=VALUE]... WXS...   (ARCH: x86 or x64)
set -euo pipefail
out=$1 arch=$2
here=$(cd "$(dirname "$0")" && pwd)
shift 2
defines=() sources=()
for argument in "$@"; do
  case $argument in
    *=*) defines+=("$argument") ;;
    *) sources+=("$argument") ;;
  esac
done
work=$(mktemp -d /tmp/visaprep-msi.XXXXXX)
trap 'rm -rf "$work"' EXIT
options=(-a "$arch" -D "PLATFORM=$arch")
# wixl finds the files that a source names only relative to the current
# folder, so absolute names are given relative to the root.
for define in "${defines[@]}"; do
  options+=(-D "${define%%=*}=$(sed 's|^/||' <<<"${define#*=}")")
done
cd /
for index in "${!sources[@]}"; do
  # Each later wixl preprocesses again: a "$" left now is a literal one, as
  # in a condition's "$Component", and is escaped for them.
  wixl "${options[@]}" -E "${sources[$index]}" | sed 's/\$/$$/g' >"$work/source$index.wxs"
done
wxs=$work/linked.wxs
python3 "$here/WixlGaps.py" link "$work"/source*.wxs >"$wxs"
python3 "$here/WixlGaps.py" strip "$wxs" >"$work/built.wxs"
# wixl warns about every element it drops; those are made below.
if ! wixl "${options[@]}" -o "$out" "$work/built.wxs" 2>"$work/warnings"; then
  cat "$work/warnings" >&2
  exit 1
fi
msiinfo export "$out" InstallExecuteSequence >"$work/sequence.idt"
wixl "${options[@]}" -E "$wxs" | python3 "$here/WixlGaps.py" "$work/sequence.idt" "$work"
# A table that wixl made already keeps its rows beside the new ones.
for table in CustomAction AppSearch DrLocator Signature; do
  if [ "$table" != CustomAction ] && msiinfo export "$out" "$table" >"$work/old.idt" 2>/dev/null; then
    tail -n +4 "$work/old.idt" >>"$work/$table.idt"
  fi
  msibuild "$out" -i "$work/$table.idt"
done
while read -r query; do
  msibuild "$out" -q "$query"
done <"$work/queries.sql"
