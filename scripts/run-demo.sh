#!/usr/bin/env bash
# The demo's steps over a built tree, in a private Wine prefix inside it:
#   scripts/run-demo.sh BUILD_DIR [PREFIX]
# BUILD_DIR is one architecture's build tree (build/x86 or build/x64); its programs run
# under Wine of that architecture through the tree's own wine-run.sh.
# Registers the substitute components and the server, then asks vrkauth.exe and the
# VBScript sample the two questions in each situation a deployment meets. Each step
# states what it expects; the script exits non-zero if any step's outcome differs.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" && pwd)
bin=$build/bin
run=$build/wine-run.sh
prefix=${2:-$build/demo-wineprefix}

stop_wine() { WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; }
stop_wine
rm -rf "$prefix"
trap stop_wine EXIT

passed=0
failed=0
summary=()

heading() { printf '\n== %s\n' "$*"; }
record() {
    if [ -z "$2" ]; then
        passed=$((passed + 1))
        summary+=("ok    $1")
    else
        failed=$((failed + 1))
        summary+=("FAIL  $1 ($2)")
        echo "   !! $2"
    fi
}
# run_windows COMMAND...: runs a Windows program, shows its output; sets $status and $output.
run_windows()
{
    local capture
    capture=$(mktemp)
    "$run" "$prefix" "$@" </dev/null >"$capture" 2>&1
    status=$?
    output=$(tr -d '\r' <"$capture")
    rm -f "$capture"
    [ -z "$output" ] || printf '%s\n' "$output" | sed 's/^/   /'
}
# run_step DESCRIPTION EXPECTED_EXIT COMMAND...: runs a Windows program and checks its exit code.
run_step()
{
    local description=$1 expected=$2
    shift 2
    printf -- '-- %s\n$ %s\n' "$description" "$*"
    run_windows "$@"
    if [ "$status" -eq "$expected" ]; then
        record "$description" ""
    else
        record "$description" "exit code $status, expected $expected"
    fi
}
# run_script_step DESCRIPTION EXPECTED_LINE SCRIPT ARGS...: runs a script under cscript, which
# exits 0 even when the script fails to load; the script's own output must show EXPECTED_LINE.
run_script_step()
{
    local description=$1 expected=$2
    shift 2
    printf -- '-- %s\n$ cscript //nologo %s\n' "$description" "$*"
    run_windows cscript //nologo "$@"
    if [ "$status" -ne 0 ]; then
        record "$description" "exit code $status, expected 0"
    elif ! printf '%s\n' "$output" | grep -qxF -- "$expected"; then
        record "$description" "the script did not print '$expected'"
    else
        record "$description" ""
    fi
}
quiet() { "$run" "$prefix" "$@" </dev/null >/dev/null 2>&1; }

heading "Preparing a private Wine prefix: $prefix"
quiet cmd /c exit
product_key=$("$root/scripts/product-key.sh")

heading "Registering the substitute components and the server with regsvr32"
run_step "regsvr32 registers the substitute components" 0 regsvr32 /s "$build/signed/vrksimulator.dll"
run_step "regsvr32 registers vrksolauth.dll" 0 regsvr32 /s "$bin/vrksolauth.dll"
run_step "vrkauth info: the server is fully registered, the product key absent" 0 "$bin/vrkauth.exe" info

heading "The VRKsolution client is not installed"
run_step "IsInstalled answers no" 1 "$bin/vrkauth.exe" installed
run_step "Authenticate fails: the product is not installed" 2 "$bin/vrkauth.exe" authenticate CORP alice

heading "Installing the product (its installation key) and adding demo users"
quiet reg add "$product_key" /f
run_step "add CORP\\alice" 0 "$bin/vrksim.exe" users add CORP alice
run_step "add CORP\\bob, disabled" 0 "$bin/vrksim.exe" users add CORP bob --disabled
run_step "the user directory" 0 "$bin/vrksim.exe" users list
run_step "IsInstalled answers yes" 0 "$bin/vrkauth.exe" installed

heading "Asking for users"
run_step "a valid user: CORP\\alice" 0 "$bin/vrkauth.exe" authenticate CORP alice
run_step "the C++ early-bound sample asks the same" 0 "$bin/EarlyBoundClient.exe" CORP alice
run_step "names match case-insensitively: corp\\ALICE" 0 "$bin/vrkauth.exe" authenticate corp ALICE
run_step "a disabled user: CORP\\bob is not valid" 1 "$bin/vrkauth.exe" authenticate CORP bob
run_step "an unknown user: CORP\\carol is not valid" 1 "$bin/vrkauth.exe" authenticate CORP carol
run_step "an empty user: the error and its description" 2 "$bin/vrkauth.exe" authenticate CORP ""

heading "A rehearsed failure of the maker's handle manager"
run_step "rehearse: CreateUserHandle fails with 0x8007052E" 0 "$bin/vrksim.exe" fault set CreateUserHandle 0x8007052E
run_step "Authenticate reports the component's failure" 2 "$bin/vrkauth.exe" authenticate CORP alice
run_step "the same failure late-bound, through IDispatch" 2 "$bin/vrkauth.exe" --late-bound authenticate CORP alice
run_step "clear the rehearsed failure" 0 "$bin/vrksim.exe" fault clear

heading "The same questions from VBScript, late-bound through the type library"
sample="Z:${root//\//\\}\\examples\\vbscript\\vrkauth-sample.vbs"
run_script_step "VBScript: a valid user" 'Authenticate(CORP\alice): valid' "$sample" CORP alice
run_script_step "VBScript: an empty user" '  description: _CreateHandle: missing parameter: User' "$sample" CORP ""

heading "Unregistering"
run_step "regsvr32 /u removes the server" 0 regsvr32 /u /s "$bin/vrksolauth.dll"
run_step "regsvr32 /u removes the substitute components" 0 regsvr32 /u /s "$build/signed/vrksimulator.dll"
quiet reg delete "$product_key" /f

heading "Summary"
printf '   %s\n' "${summary[@]}"
printf '\n%d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
