#!/usr/bin/env bash
# Makes a throwaway Wine prefix for one test run, with a virtual display,
# and keeps one wineserver alive for all of it; "stop" ends both. "probe"
# tells whether this host can start 32-bit Windows programs at all: it
# prints why not and fails when it cannot, and prints nothing when it can.
# "kill" ends every process of the prefix at once, as the Task Manager or a
# power cut would, then starts its server and services again.
#   WinePrefix.sh start PREFIX ARCH  |  WinePrefix.sh stop PREFIX  |  WinePrefix.sh probe
#   WinePrefix.sh kill PREFIX
# WINELOADER, when set, is the loader that starts Windows programs; the
# 64-bit flavour sets it to Wine's 64-bit half, called directly, because
# "wine" always goes through the 32-bit loader when that is installed.
set -euo pipefail
action=$1
loader=${WINELOADER:-wine}

# Debian's Wine runs every 32-bit Windows program inside a 32-bit Linux
# process, so a kernel built or booted without 32-bit emulation cannot start
# one in any prefix, WoW64 included.
probe() {
  local wine32=/usr/lib/wine/wine output
  if [ ! -x "$wine32" ]; then
    echo "Wine's 32-bit half is not installed (Debian package wine32:i386), so Wine cannot start 32-bit Windows programs here."
    return 1
  fi
  if output=$("$wine32" --version 2>&1); then
    return 0
  fi
  case $output in
    *"Exec format error"*)
      echo "This Linux kernel does not run 32-bit programs (32-bit emulation is off), so Wine cannot start 32-bit Windows programs here." ;;
    *)
      echo "Wine's 32-bit loader does not start here ($(tail -n 1 <<<"$output")), so Wine cannot start 32-bit Windows programs." ;;
  esac
  return 1
}

stop_display() {
  if [ -f "$1.xvfb" ]; then
    kill "$(cat "$1.xvfb")" 2>/dev/null || true
    rm -f "$1.xvfb"
  fi
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
    if ! WINEARCH=$3 WINEDEBUG=fixme-all "$loader" wineboot -i >"$prefix.log" 2>&1 </dev/null; then
      echo "Wine could not make the $3 prefix $prefix with $loader; the last lines it printed:"
      tail -n 20 "$prefix.log"
      exit 1
    fi
    wineserver -w
    serve
    ;;
  kill)
    export WINEPREFIX=$2
    # The server kills every process of the prefix outright, then saves the
    # registry as it goes: on Windows the registry is the kernel's, and
    # outlives the processes that wrote it.
    wineserver -k 2>/dev/null || true
    wineserver -w
    serve
    ;;
  stop)
    export WINEPREFIX=$2
    wineserver -k 2>/dev/null || true
    stop_display "$2"
    ;;
esac
