#!/usr/bin/env bash
# Test emulator: runs a Windows program under Wine in the build tree's own prefix.
#   VRK_WINE_ARCH=win32|win64|wow64 wine-run.sh PREFIX PROGRAM [ARGS...]
# Each build tree calls this through its generated wine-run.sh, which sets the
# architecture: a 64-bit tree runs under Wine's 64-bit loader directly, so that it also
# works where 32-bit Linux programs cannot be executed.
# The first caller creates the prefix. The wineserver and Wine's background
# processes are started detached from our stdio, under a lock, so that CTest
# never waits on a pipe that they inherited. The server stays for the next program,
# unless VRK_WINESERVER_LINGER gives the seconds it outlives the prefix's last one:
# then "wineserver -w" waits for whatever a program left running (tests/clients/run-msi.sh).
set -u
prefix=$(realpath -m "$1")
shift

export WINEPREFIX=$prefix
# wow64: a 32-bit program in a 64-bit prefix, beside 64-bit ones (the side-by-side tests).
case ${VRK_WINE_ARCH:-win32} in
    win64) WINEARCH=win64 loader=/usr/lib/wine/wine64 ;;
    win32) WINEARCH=win32 loader=/usr/lib/wine/wine ;;
    wow64) WINEARCH=win64 loader=/usr/lib/wine/wine ;;
    *) echo "wine-run.sh: unknown architecture '$VRK_WINE_ARCH'" >&2; exit 125 ;;
esac
export WINEARCH
export WINELOADER=$loader
export WINEDEBUG=${VRK_WINEDEBUG:--all}
# No automatic debugger: a program that crashes ends there, with its exception code as
# its exit status, instead of being held or reported by winedbg.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

mkdir -p "$prefix"
{
    flock 9
    # The marker, not the registry files: a wineserver that was told to stop can still write
    # system.reg into a prefix that was just removed, leaving a prefix without its system.
    # A prefix without the marker is half made (its update stamp can be there without its
    # system files, and then wineboot would not install them): it is made again from nothing.
    if [ ! -f "$prefix/.vrk-prefix-ready" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 9>&-
        wineserver -w </dev/null >/dev/null 2>&1 9>&-
        find "$prefix" -mindepth 1 -maxdepth 1 ! -name .emulator-lock -exec rm -rf {} +
        "$loader" wineboot -i </dev/null >/dev/null 2>&1 9>&- && touch "$prefix/.vrk-prefix-ready"
    fi
    # Exit status 2 means a server for this prefix is already running.
    if wineserver "-p${VRK_WINESERVER_LINGER:-}" </dev/null >/dev/null 2>&1 9>&-; then
        "$loader" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
    fi
} 9>"$prefix/.emulator-lock"

exec "$loader" "$@"
