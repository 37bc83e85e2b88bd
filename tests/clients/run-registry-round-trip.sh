#!/usr/bin/env bash
# run-registry-round-trip.sh: regsvr32 then regsvr32 /u of each server leaves the registry
# of a fresh prefix exactly as it was.
#   run-registry-round-trip.sh WINE_RUN PREFIX SERVER_DLL...
# The prefix is made anew. The whole registry is exported before, between and after;
# the export after must equal the one before line for line (the keys the scripts mark
# NoRemove, such as HKCR\CLSID, exist before registration and so stay equal too).
set -u
VRK_RUN=$1
VRK_PREFIX=$2
shift 2
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"

WINEPREFIX=$VRK_PREFIX wineserver -k >/dev/null 2>&1
rm -rf "$VRK_PREFIX"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; WINEPREFIX=$VRK_PREFIX wineserver -k >/dev/null 2>&1' EXIT

# export NAME: the whole registry as text, in $scratch/NAME.txt, without the keys that Wine
# rewrites whenever its services start (device interface links, the current service
# control set's counter, the network adapters it finds; volatile on Windows as well).
export_registry() {
    run_windows regedit /E "$(windows_path "$scratch/$1.reg")"
    iconv -f UTF-16 -t UTF-8 "$scratch/$1.reg" | tr -d '\r' | awk '
        /^\[/ { volatile = index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses") == 1 ||
                            index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent]") == 1 ||
                            $0 ~ /^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows NT\\CurrentVersion\\NetworkCards/ }
        !volatile' >"$scratch/$1.txt"
    [ -s "$scratch/$1.txt" ] || fail "regedit /E gave no export ($1)"
}
# The first lines that differ between two exports.
differences() {
    diff "$scratch/$1.txt" "$scratch/$2.txt" | grep '^[<>]' | head -n 40 |
        while IFS= read -r line; do printf '      %s\n' "$line"; done
}

export_registry before

for dll in "$@"; do
    name=$(basename "$dll")
    register_server "$dll"
    export_registry registered
    if cmp -s "$scratch/before.txt" "$scratch/registered.txt"; then
        fail "$name: regsvr32 changed nothing in the registry"
    else
        pass "$name: regsvr32 wrote $(diff "$scratch/before.txt" "$scratch/registered.txt" | grep -c '^>') lines"
    fi
    unregister_server "$dll"
    export_registry after
    if cmp -s "$scratch/before.txt" "$scratch/after.txt"; then
        pass "$name: after regsvr32 /u the registry equals the one before"
    else
        fail "$name: regsvr32 /u left the registry different from before (< before, > after):"
        differences before after
    fi
done
registered_dlls=()
finish_checks
