#!/usr/bin/env bash
# run-side-by-side.sh: the 32-bit and the 64-bit server registered on one 64-bit machine,
# each with its own architecture's regsvr32 into its own registry view.
#   run-side-by-side.sh WINE_RUN_SCRIPT PREFIX X86_BIN X64_BIN
# Exits 77 (skipped) where this machine cannot execute 32-bit programs.
set -u
wine_run_script=$1
VRK_PREFIX=$2
x86_bin=$3
x64_bin=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/architectures.sh"
if ! can_run_architecture x86; then
    echo "skipped: $cannot_run_reason"
    exit 77
fi

run64=$(mktemp)
run32=$(mktemp)
trap 'rm -f "$run64" "$run32"' EXIT
printf '#!/bin/sh\nVRK_WINE_ARCH=win64 exec "%s" "$@"\n' "$wine_run_script" >"$run64"
printf '#!/bin/sh\nVRK_WINE_ARCH=wow64 exec "%s" "$@"\n' "$wine_run_script" >"$run32"
chmod +x "$run64" "$run32"
VRK_RUN=$run64
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"

as() { VRK_RUN=$([ "$1" = x86 ] && echo "$run32" || echo "$run64"); }
bin_of() { [ "$1" = x86 ] && echo "$x86_bin" || echo "$x64_bin"; }

regsvr() { # regsvr ARCH [/u]
    as "$1"
    run_windows regsvr32 /s ${2:-} "$(windows_path "$(bin_of "$1")/vrksolauth.dll")"
    expect_status 0 "$1 regsvr32 ${2:-}"
}
# expect_registered ARCH yes|class|no: what that architecture's vrkauth and registry view
# show. "class": its class, server and type library are there, but not the ProgIDs.
expect_registered() {
    local arch=$1 dll own platform row
    dll=$(windows_path "$(bin_of "$arch")/vrksolauth.dll")
    own="server: yes, $dll (file exists)|type library $libid 1.0: yes, loads from $dll"
    platform=$([ "$arch" = x86 ] && echo win32 || echo win64)
    echo "== $arch: $2"
    as "$arch"
    case $2 in
        yes) row="0|$own" ;;
        class) row="1|ProgID $versioned_progid: MISSING, not registered|$own" ;;
        no) row="1|!server: yes" ;;
    esac
    check_runs "$(bin_of "$arch")/vrkauth.exe" <<<"info|$row"
    [ "$2" = no ] || check_runs reg <<<"query 'HKCR\\TypeLib\\$libid\\1.0\\0\\$platform'|0"
}

regsvr x64
regsvr x86
expect_registered x64 yes
expect_registered x86 yes

# The class keys live in each view, the ProgID keys in the classes that both views share
# (as on Windows): unregistering either server takes the ProgIDs with it and leaves the
# other's class, server and type library in place; registering that one again restores them.
regsvr x86 /u
expect_registered x86 no
expect_registered x64 class
regsvr x64
expect_registered x64 yes

regsvr x86
regsvr x64 /u
expect_registered x64 no
expect_registered x86 class
regsvr x86
expect_registered x86 yes

regsvr x86 /u
expect_registered x86 no
expect_registered x64 no
finish_checks
