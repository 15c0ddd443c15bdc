#!/usr/bin/env bash
# Times "BackUp" and "BackUp RemoveVisa32" of two builds of visaprep.exe
# under Wine, in a throwaway 64-bit prefix (WoW64), taking turns run by run
# so that both see the same machine, and prints the medians and their ratio.
# A measurement to compare builds, never a pass-or-fail test. On a host
# that cannot start 32-bit programs, give it two 64-bit test builds
# (build/bin/x64/visaprep.exe): it then runs them with Wine's 64-bit half.
#   benchmark.sh OLD.exe NEW.exe [RUNS]
set -euo pipefail
old=$1 new=$2 runs=${3:-15}
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mktemp -d /tmp/visaprep-bench.XXXXXX)
export WINEPREFIX=$prefix/wine WINEDEBUG=-all
trap '"$here/tests/wine/WinePrefix.sh" stop "$WINEPREFIX"; rm -rf "$prefix"' EXIT
c=$WINEPREFIX/drive_c sys=$WINEPREFIX/drive_c/windows/syswow64
view=32 library=$here/build/bin/test/libraries/acme.dll
if probe=$("$here/tests/wine/WinePrefix.sh" probe); then
  loader=$(sed -n 4p <<<"$probe")
  sed -n 1p <<<"$probe"
else
  loader=/usr/lib/wine/wine64 view=64 sys=$WINEPREFIX/drive_c/windows/system32
  library=$here/build/bin/x64/test/libraries/acme.dll
  echo "this host cannot start 32-bit programs: timing 64-bit builds with $loader"
fi
export WINELOADER=$loader
"$here/tests/wine/WinePrefix.sh" start "$WINEPREFIX" win64 >/dev/null
export DISPLAY=:$(head -n 1 "$WINEPREFIX.display")
mkdir -p "$c/tools/old" "$c/tools/new" "$c/vp/fw/Tavrex"
cp "$old" "$c/tools/old/visaprep.exe"
cp "$new" "$c/tools/new/visaprep.exe"
"$loader" reg add 'HKLM\SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion' /reg:$view /f \
  /v FRAMEWORK_PATH /d 'C:\vp\fw\' >/dev/null 2>&1 </dev/null
head -c 4096 /dev/urandom >"$c/vp/fw/Tavrex/visaconf.ini"

# Microseconds of one run, with a foreign library in place again first.
run() {
  rm -f "$sys"/visa32*.dll
  cp "$library" "$sys/visa32.dll"
  local start end
  start=$(date +%s%N)
  "$loader" "C:\\tools\\$1\\visaprep.exe" "${@:2}" </dev/null >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

for verb in "BackUp" "BackUp RemoveVisa32"; do
  : >"$prefix/old" && : >"$prefix/new"
  for _ in $(seq "$runs"); do
    for build in old new; do
      # shellcheck disable=SC2086
      run "$build" $verb >>"$prefix/$build"
    done
  done
  o=$(median <"$prefix/old") n=$(median <"$prefix/new")
  echo "$verb: old $o us, new $n us, ratio $(awk -v o="$o" -v n="$n" 'BEGIN {printf "%.3f", n / o}') (medians of $runs)"
done
