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
    # wineboot settles the prefix's architecture with a server of its own;
    # once that one is gone, one persistent server serves every test.
    WINEARCH=$3 wineboot -i >/dev/null 2>&1
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    # Start the prefix's services now, detached from any test's output: the
    # first wine program would otherwise start them holding its stderr open.
    wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
esac
