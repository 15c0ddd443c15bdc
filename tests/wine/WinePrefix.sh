#!/usr/bin/env bash
# Makes a throwaway Wine prefix for one test run and keeps one wineserver
# alive for all of it; "stop" ends that server.
#   WinePrefix.sh start PREFIX ARCH   |   WinePrefix.sh stop PREFIX
set -euo pipefail
action=$1 prefix=$2
export WINEPREFIX=$prefix WINEDEBUG=-all
case $action in
  start)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    mkdir -p "$prefix"
    # The server first, so that wineboot and every test talk to this one.
    wineserver -p </dev/null >/dev/null 2>&1
    WINEARCH=$3 wineboot -i >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
esac
