#!/usr/bin/env bash
# Makes a throwaway Wine prefix for one test run, with a virtual display,
# and keeps one wineserver alive for all of it; "stop" ends both. "probe"
# tells whether and how this host starts 32-bit Windows programs, and fails
# when it cannot.
# "kill" ends every process of the prefix at once, as the Task Manager or a
# power cut would, then starts its server and services again.
#   WinePrefix.sh start PREFIX ARCH  |  WinePrefix.sh stop PREFIX  |  WinePrefix.sh probe
#   WinePrefix.sh kill PREFIX
# WINELOADER, when set, is the loader that starts Windows programs: the one
# the probe names, or for the 64-bit flavour Wine's 64-bit half, called
# directly, because "wine" always goes through the 32-bit loader when that
# is installed.
set -euo pipefail
action=$1
loader=${WINELOADER:-wine}

# Debian's Wine runs every 32-bit Windows program inside a 32-bit Linux
# process, so a kernel built or booted without 32-bit emulation cannot start
# one in any prefix, WoW64 included. scripts/wine32-root.sh then provides the
# same 32-bit half unpacked in a folder of its own, run under qemu-user, and
# it does so natively where only wine32:i386 could not be installed. The
# probe's first line says which route this host takes; when 32-bit programs
# start, the route's name (system, native or qemu) and the loaders for a
# 32-bit and for a 64-bit prefix follow.
root32=${VISAPREP_WINE32_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/visaprep/wine32}
probe() {
  local wine32=/usr/lib/wine/wine output reason
  if [ "${VISAPREP_WINE32_ROUTE:-}" = qemu ]; then
    # Asked for, to try the emulated route where Debian's would run.
    reason="VISAPREP_WINE32_ROUTE=qemu takes the emulated route."
  elif [ ! -x "$wine32" ]; then
    reason="Wine's 32-bit half is not installed (Debian package wine32:i386)."
  elif output=$("$wine32" --version 2>&1); then
    echo "This host runs 32-bit programs with Debian's wine32:i386."
    printf 'system\nwine\nwine\n'
    return 0
  else
    case $output in
      *"Exec format error"*)
        reason="This Linux kernel does not run 32-bit programs (32-bit emulation is off)." ;;
      *)
        reason="Wine's 32-bit loader does not start here ($(tail -n 1 <<<"$output"))." ;;
    esac
  fi
  local direct=$root32/usr/lib/wine/wine-direct
  if [ -x "$direct" ] && "$direct" --version >/dev/null 2>&1; then
    local route
    route=$(cat "$root32/route")
    if [ "${VISAPREP_WINE32_ROUTE:-}" = qemu ] && [ "$route" != qemu ]; then
      echo "$reason But $root32 was made for the native route: run scripts/wine32-root.sh with VISAPREP_WINE32_ROUTE=qemu first."
      return 1
    fi
    if [ "$route" = qemu ]; then
      echo "$reason 32-bit Windows programs run under qemu-user emulation, through Debian's wine32:i386 packages unpacked in $root32."
    else
      echo "$reason 32-bit Windows programs run natively, through Debian's wine32:i386 packages unpacked in $root32."
    fi
    printf '%s\n%s\n%s64\n' "$route" "$direct" "$direct"
    return 0
  fi
  echo "$reason So Wine cannot start 32-bit Windows programs here."
  return 1
}

stop_display() {
  if [ -f "$1.xvfb" ]; then
    kill "$(cat "$1.xvfb")" 2>/dev/null || true
    rm -f "$1.xvfb"
  fi
}

# The Wine processes of the prefix $1 that outlive its server: one that
# waits in the host, as ping does for its replies, is never told that the
# server has gone. Killed; their ids are printed.
end_strays() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/} pid=${pid%/environ}
    if grep -qzxF "WINEPREFIX=$1" "$environ" 2>/dev/null &&
      grep -qzx 'WINESERVERSOCKET=.*' "$environ" 2>/dev/null; then
      kill -9 "$pid" 2>/dev/null && echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    fi
  done
}

# One persistent server, and the prefix's services started now, detached
# from any test's output: the first wine program would otherwise start them
# holding its stderr open.
serve() {
  wineserver -p </dev/null >/dev/null 2>&1
  "$loader" wineboot </dev/null >/dev/null 2>&1
}

case $action in
  probe)
    probe
    ;;
  start)
    prefix=$2
    export WINEPREFIX=$prefix WINEDEBUG=-all
    wineserver -k 2>/dev/null || true
    stop_display "$prefix"
    rm -rf "$prefix" "$prefix.log" "$prefix.display"
    mkdir -p "$prefix"
    # Inno Setup's Setup makes a hidden window even when very silent, and
    # Wine's desktop process, which lives as long as the prefix's server,
    # opens windows only on the display it was started with. So the prefix
    # gets a display of its own before anything starts in it; the harness
    # reads its number from PREFIX.display.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$prefix.display" \
      </dev/null >/dev/null 2>&1 &
    echo $! >"$prefix.xvfb"
    for _ in $(seq 100); do
      [ -s "$prefix.display" ] && break
      sleep 0.1
    done
    if [ ! -s "$prefix.display" ]; then
      echo "Xvfb did not start a display for $prefix"
      exit 1
    fi
    export DISPLAY=:$(cat "$prefix.display")
    # wineboot settles the prefix's architecture with a server of its own;
    # once that one is gone, one persistent server serves every test. Its
    # errors are kept, so that a prefix that cannot be made says why.
    # Under qemu the boot has crashed once in a while ("uncaught target
    # signal 11"): it is tried once more, from an empty prefix, and a server
    # that outlives it is ended rather than waited for.
    booted=""
    for attempt in 1 2; do
      if WINEARCH=$3 WINEDEBUG=fixme-all "$loader" wineboot -i >"$prefix.log" 2>&1 </dev/null &&
        timeout 300 wineserver -w; then
        booted=yes
        break
      fi
      echo "Wine's boot of $prefix failed (attempt $attempt); the last lines it printed:"
      tail -n 5 "$prefix.log"
      wineserver -k 2>/dev/null || true
      timeout 60 wineserver -w || true
      end_strays "$prefix" >/dev/null
      rm -rf "$prefix"
      mkdir -p "$prefix"
    done
    if [ -z "$booted" ]; then
      echo "Wine could not make the $3 prefix $prefix with $loader."
      exit 1
    fi
    serve
    ;;
  kill)
    export WINEPREFIX=$2
    # The server kills every process of the prefix outright, then saves the
    # registry as it goes: on Windows the registry is the kernel's, and
    # outlives the processes that wrote it.
    wineserver -k 2>/dev/null || true
    wineserver -w
    end_strays "$2" >/dev/null
    serve
    ;;
  stop)
    # The last step of a flavour's tests: it fails when a process of the
    # prefix has outlived its server, which a test should have ended.
    export WINEPREFIX=$2
    wineserver -k 2>/dev/null || true
    wineserver -w
    stop_display "$2"
    strays=$(end_strays "$2")
    if [ -n "$strays" ]; then
      echo "Processes of $2 outlived its server, and were killed now:"
      echo "$strays"
      exit 1
    fi
    ;;
esac
