#!/usr/bin/env bash
# run-side-by-side.sh: the 32-bit and the 64-bit server on one 64-bit machine, each in its own
# registry view, deployed by their own regsvr32 and then by their own Windows Installer packages;
# and the 32-bit server serving 64-bit clients from the surrogate.
#   run-side-by-side.sh WINE_RUN PREFIX X86_BIN X64_BIN X86_MSI X64_MSI SAMPLE
# Removing either architecture leaves the other complete: its registration, its ProgIDs for its
# own cscript, and its interface marshaled between apartments (apartment_tests against the
# registered server); removing both leaves none of the server's keys in either view.
# Exits 77 (skipped) where this machine cannot execute 32-bit programs.
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
x86_bin=$3
x64_bin=$4
x86_msi=$5
x64_msi=$6
sample=$7
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/architectures.sh"
if ! can_run_architecture x86; then
    echo "skipped: $cannot_run_reason"
    exit 77
fi

own_prefixes "$VRK_PREFIX"

as() { export VRK_WINE_ARCH=$([ "$1" = x86 ] && echo wow64 || echo win64); }
bin_of() { [ "$1" = x86 ] && echo "$x86_bin" || echo "$x64_bin"; }
# The signed copies, as shipped: unregistering one server restores what the other one shares only
# when the other is the maker's signed DLL.
signed_of() { echo "$(dirname "$(bin_of "$1")")/signed"; }
regsvr32_dll() { windows_path "$(signed_of "$1")/vrksolauth.dll"; }
msi_dll() { echo "C:\\Program Files$([ "$1" = x86 ] && echo ' (x86)')\\VEYRAK\\vrksolauth\\vrksolauth.dll"; }
dll_of=regsvr32_dll

# expect_registered ARCH yes|no: what that architecture's vrkauth shows; and, when registered,
# that its own cscript creates the class by both ProgIDs and the interface crosses apartments.
expect_registered() {
    local arch=$1 dll
    dll=$($dll_of "$arch")
    as "$arch"
    echo "== $arch: $2"
    if [ "$2" = no ]; then
        check_runs "$(bin_of "$arch")/vrkauth.exe" <<<"info|1|!server: yes"
        return
    fi
    check_runs "$(bin_of "$arch")/vrkauth.exe" <<<"info|0|server: yes, $dll (file exists)|type library $libid 1.0: yes, loads from $dll|registration complete"
    expect_sample "$(windows_path "$sample")" "" "IsInstalled: no" "Authenticate failed: 0x80004005" \
        "  description: Authenticate: VRKsolution not installed" "  source:      $versioned_progid"
    VRK_REGISTERED_SERVER=1 run_windows "$(bin_of "$arch")/apartment_tests.exe"
    if [ "$status" -eq 0 ] && grep -q '^\[  PASSED  \]' <<<"$output" && ! grep -q '^\[  FAILED  \]' <<<"$output"; then
        pass "$arch apartment_tests against the registered server"
    else
        fail "$arch apartment_tests against the registered server: exit code $status"
        printf '%s\n' "$output" | grep -E '^\[  (FAILED|PASSED) |Failure|Expected|Which is|actual' | head -n 20 | sed 's/^/      /'
    fi
}

# Under load, Wine's msiexec at times exits 1 at once, having done nothing, while the services it
# needs start in a prefix whose server was just ended: it gets one more try, said in the log.
msiexec_once_more() {
    run_windows_to_the_end "$@"
    [ "$status" -eq 1 ] || return 0
    echo "note: msiexec $2 exited 1, printing '$output'; once more"
    run_windows_to_the_end "$@"
}

# step CHANGES STATES: each CHANGE +ARCH or -ARCH in turn, registering or unregistering that
# architecture's server by its own regsvr32, or installing or removing its package by its own
# msiexec ($tool); then what each ARCH:STATE says (expect_registered).
tool=regsvr32
step() {
    local change state arch
    for change in $1; do
        arch=${change:1}
        as "$arch"
        if [ $tool = regsvr32 ]; then
            check_runs regsvr32 <<<"/s $([ "${change:0:1}" = - ] && echo /u) '$(regsvr32_dll "$arch")'|0"
        else
            local package=$x64_msi
            [ "$arch" = x64 ] || package=$x86_msi
            run=msiexec_once_more check_runs msiexec <<<"$([ "${change:0:1}" = - ] && echo /x || echo /i) '$(windows_path "$package")' /qn|0"
        fi
    done
    for state in $2; do expect_registered "${state%:*}" "${state#*:}"; done
}

# nothing_left WHAT: no key of the server in either view (nor the surrogate's AppID), nor its ProgIDs.
nothing_left() {
    local key view
    as x64
    for key in "CLSID\\$clsid" "Interface\\$iid" "TypeLib\\$libid" "AppID\\$clsid"; do
        for view in 32 64; do
            check_runs reg <<<"query 'HKCR\\$key' /reg:$view|1"
        done
    done
    check_runs reg <<<"query 'HKCR\\$progid'|1
query 'HKCR\\$versioned_progid'|1"
    echo "== $1: nothing of the server left"
}

for tool in regsvr32 msiexec; do
    echo "=== $tool"
    dll_of=$([ $tool = regsvr32 ] && echo regsvr32_dll || echo msi_dll)
    step "+x64 +x86" "x64:yes x86:yes"
    step -x64 "x64:no x86:yes"
    step "+x64 -x86" "x86:no x64:yes"
    step -x64 "x64:no"
    nothing_left $tool
done

# The surrogate: with only the 32-bit server and product (key and components in the 32-bit view),
# 64-bit clients reach it in dllhost.exe once "vrkauth surrogate on" ran; with the 64-bit server
# registered too, the 64-bit server answers in process (from the 64-bit view, which has no product).
echo "=== surrogate"
x86_vrkauth=$x86_bin/vrkauth.exe x64_vrkauth=$x64_bin/vrkauth.exe
as x86
check_runs regsvr32 <<<"/s '$(regsvr32_dll x86)'|0
/s '$(windows_path "$(signed_of x86)/vrksimulator.dll")'|0"
check_runs "$x86_bin/vrksim.exe" <<<"users add CORP alice|0"
check_runs reg <<<"add '$product_key' /f|0"
check_runs "$x86_vrkauth" <<<"surrogate on|0|surrogate on: 64-bit clients create the 32-bit server in dllhost.exe"
as x64
run_windows sc start RpcSs # started before the first client, which would otherwise wait for it
check_runs "$x64_vrkauth" <<<"info|1|a 64-bit client gets: the 32-bit server, out of process in dllhost.exe"
for late in "" --late-bound; do
    # Error information crosses to the client only with Invoke's EXCEPINFO: Wine does not marshal
    # IErrorInfo for a vtable call.
    call=Authenticate detail=""
    [ -z "$late" ] || call="Invoke(Authenticate)" detail="|  description: _CreateHandle: missing parameter: User"
    check_runs "$x64_vrkauth" <<ROWS
$late installed|0|installed: yes
$late authenticate CORP alice|0|CORP\\alice: valid
$late authenticate CORP mallory|1|CORP\\mallory: not valid
$late authenticate CORP ""|2|vrkauth: $call failed: HRESULT 0x80070057$detail
ROWS
done
expect_sample "$(windows_path "$sample")" "CORP alice" "IsInstalled: yes" "Authenticate(CORP\\alice): valid"
# This prefix's own dllhost.exe, not another prefix's on the same host: Wine gives every program of a
# prefix that prefix in its environment.
for pid in $(pgrep -f 'syswow64.dllhost\.exe') none; do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$(realpath -m "$VRK_PREFIX")" && break
done
if [ "$pid" != none ]; then
    pass "the 32-bit server was served from this prefix's syswow64\\dllhost.exe"
else
    fail "no syswow64\\dllhost.exe of this prefix running after the 64-bit clients"
fi
# Wine's dllhost.exe stays up for a while after its last client; the server in it must have let
# go of every component by then.
as x86
check_runs "$x86_bin/vrksim.exe" <<<"status|0|live components: 0"
as x64
check_runs regsvr32 <<<"/s '$(regsvr32_dll x64)'|0"
check_runs "$x64_vrkauth" <<<"installed|1|installed: no
info|0|a 64-bit client gets: the 64-bit server, in process"
check_runs regsvr32 <<<"/s /u '$(regsvr32_dll x64)'|0"
as x86
check_runs "$x86_vrkauth" <<<"surrogate off|0|surrogate off: 64-bit clients no longer reach the 32-bit server"
as x64
check_runs "$x64_vrkauth" <<<"info|1|a 64-bit client gets: no server (the 32-bit server serves 64-bit clients once 'vrkauth surrogate on' ran)"
as x86
check_runs regsvr32 <<<"/s /u '$(regsvr32_dll x86)'|0"
nothing_left surrogate
finish_checks
