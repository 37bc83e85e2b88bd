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

fresh_prefix "$VRK_PREFIX"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; WINEPREFIX=$VRK_PREFIX wineserver -k >/dev/null 2>&1' EXIT

export_registry "$scratch/before.txt"

for dll in "$@"; do
    name=$(basename "$dll")
    register_server "$dll"
    export_registry "$scratch/registered.txt"
    if cmp -s "$scratch/before.txt" "$scratch/registered.txt"; then
        fail "$name: regsvr32 changed nothing in the registry"
    else
        pass "$name: regsvr32 wrote $(diff "$scratch/before.txt" "$scratch/registered.txt" | grep -c '^>') lines"
    fi
    unregister_server "$dll"
    export_registry "$scratch/after.txt"
    if cmp -s "$scratch/before.txt" "$scratch/after.txt"; then
        pass "$name: after regsvr32 /u the registry equals the one before"
    else
        fail "$name: regsvr32 /u left the registry different from before (< before, > after):"
        registry_differences "$scratch/before.txt" "$scratch/after.txt"
    fi
done
registered_dlls=()
finish_checks
