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

VRK_RUN=$wine_run_script
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"

as() { export VRK_WINE_ARCH=$([ "$1" = x86 ] && echo wow64 || echo win64); }
bin_of() { [ "$1" = x86 ] && echo "$x86_bin" || echo "$x64_bin"; }

# expect_registered ARCH yes|class|no: what that architecture's vrkauth and registry view
# show. "class": its class, server and type library are there, but not the ProgIDs.
expect_registered() {
    local arch=$1 dll own platform row
    dll=$(windows_path "$(bin_of "$arch")/vrksolauth.dll")
    own="server: yes, $dll (file exists)|type library $libid 1.0: yes, loads from $dll"
    platform=$([ "$arch" = x86 ] && echo win32 || echo win64)
    case $2 in
        yes) row="0|$own" ;;
        class) row="1|ProgID $versioned_progid: MISSING, not registered|$own" ;;
        no) row="1|!server: yes" ;;
    esac
    as "$arch"
    echo "== $arch: $2"
    check_runs "$(bin_of "$arch")/vrkauth.exe" <<<"info|$row"
    [ "$2" = no ] || check_runs reg <<<"query 'HKCR\\TypeLib\\$libid\\1.0\\0\\$platform'|0"
}

# step CHANGES STATES: regsvr32 (+ARCH) or regsvr32 /u (-ARCH) with that architecture's own
# regsvr32, each in turn; then what each ARCH:STATE says (expect_registered).
step() {
    local change state
    for change in $1; do
        as "${change:1}"
        check_runs regsvr32 <<<"/s $([ "${change:0:1}" = - ] && echo /u) '$(windows_path "$(bin_of "${change:1}")/vrksolauth.dll")'|0"
    done
    for state in $2; do expect_registered "${state%:*}" "${state#*:}"; done
}

step "+x64 +x86" "x64:yes x86:yes"
# The class keys live in each view, the ProgID keys in the classes that both views share
# (as on Windows): unregistering either server takes the ProgIDs with it and leaves the
# other's class, server and type library in place; registering that one again restores them.
step -x86 "x86:no x64:class"
step +x64 x64:yes
step "+x86 -x64" "x64:no x86:class"
step +x86 x86:yes
step -x86 "x86:no x64:no"
finish_checks
