#!/usr/bin/env bash
# Test emulator: runs a Windows program under Wine in the build tree's own prefix.
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The first caller creates the prefix. The wineserver and Wine's background
# processes are started detached from our stdio, under a lock, so that CTest
# never waits on a pipe that they inherited.
set -u
prefix=$1
shift

export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$prefix"
{
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1 9>&-
    fi
    # Exit status 2 means a server for this prefix is already running.
    if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
        wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
    fi
} 9>"$prefix/.emulator-lock"

exec wine "$@"
