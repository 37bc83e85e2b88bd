#!/usr/bin/env bash
# run-regfree.sh: registration-free use of the server. In a fresh prefix where nothing is
# registered, the DLL, its assembly manifest and both clients share one folder:
# vrkauth-regfree.exe, whose application manifest depends on the assembly, creates the class
# by CLSID (early-bound) and by its version-independent ProgID (late-bound) and calls both
# methods; vrkauth.exe beside it, without a manifest, cannot create it at all. Neither writes
# to the registry.
#   run-regfree.sh WINE_RUN PREFIX REGFREE_EXE VRKAUTH_EXE SERVER_DLL ASSEMBLY_MANIFEST
set -u
VRK_RUN=$1
VRK_PREFIX=$2
regfree_exe=$3
plain_exe=$4
server_dll=$5
assembly_manifest=$6
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"

fresh_prefix "$VRK_PREFIX"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; WINEPREFIX=$VRK_PREFIX wineserver -k >/dev/null 2>&1' EXIT

readonly iid='{D57B64F7-8728-4717-BD9C-A09719A06BA0}'
readonly clsid='{5A486531-0201-43E0-BD81-D544BB08D0DC}'
readonly libid='{2C21A4B6-C51A-4990-B440-B0841534F73A}'
readonly versioned_progid='Vrksolauth.VRKsolutionAuthenticator.1'
readonly roots=(HKEY_LOCAL_MACHINE HKEY_CURRENT_USER)

export_roots() {
    local root
    for root in "${roots[@]}"; do
        export_registry "$scratch/$1-$root.txt" "$root"
    done
}

# The first export also makes the prefix.
export_roots before

# An application's own folder, as an administrator would lay it out.
readonly folder='C:\vrksolauth'
mkdir -p "$VRK_PREFIX/drive_c/vrksolauth"
cp "$regfree_exe" "$plain_exe" "$server_dll" "$assembly_manifest" "$VRK_PREFIX/drive_c/vrksolauth/"
regfree() { run_windows "$folder\\$(basename "$regfree_exe")" "$@"; }
plain() { run_windows "$folder\\$(basename "$plain_exe")" "$@"; }

for binding in early late; do
    option=()
    [ $binding = late ] && option=(--late-bound)
    case $binding in
        early) failed_call=Authenticate interface=$iid not_created="CoCreateInstance failed: HRESULT 0x80040154" ;;
        late) failed_call="Invoke(Authenticate)" interface="(not reported)" \
            not_created="CLSIDFromProgID failed: HRESULT 0x800401F3" ;;
    esac

    regfree "${option[@]}" installed
    expect_status 1 "reg-free $binding-bound installed"
    expect_line "installed: no" "reg-free $binding-bound installed"

    # The error source is the ProgID that ProgIDFromCLSID finds: here, in the assembly manifest.
    regfree "${option[@]}" authenticate CORP alice
    expect_status 2 "reg-free $binding-bound authenticate, not installed"
    expect_line "vrkauth: $failed_call failed: HRESULT 0x80004005" "reg-free $binding-bound authenticate"
    expect_line "  description: Authenticate: VRKsolution not installed" "reg-free $binding-bound authenticate"
    expect_line "  source:      $versioned_progid" "reg-free $binding-bound authenticate"
    expect_line "  interface:   $interface" "reg-free $binding-bound authenticate"

    # The same folder without the application manifest: the class is nowhere to be found.
    for command in installed "authenticate CORP alice"; do
        # shellcheck disable=SC2086 # the words of a command are separate arguments
        plain "${option[@]}" $command
        expect_status 2 "without a manifest, $binding-bound $command"
        expect_line "vrkauth: $not_created" "without a manifest, $binding-bound $command"
    done
done

# The registry knows nothing of the class; the type library is found through the manifest.
regfree info
expect_status 1 "reg-free info: nothing registered"
expect_line "class $clsid: MISSING, not registered" "reg-free info: nothing registered"
expect_line "type library $libid 1.0: yes, loads from $folder\\$(basename "$server_dll")" \
    "reg-free info: the type library through the manifest"
plain info
expect_line "type library $libid 1.0: MISSING, not loadable (HRESULT 0x8002801D)" "info without a manifest: no type library"

export_roots after
for root in "${roots[@]}"; do
    if cmp -s "$scratch/before-$root.txt" "$scratch/after-$root.txt"; then
        pass "$root after the clients equals $root before"
    else
        fail "$root changed (< before, > after):"
        registry_differences "$scratch/before-$root.txt" "$scratch/after-$root.txt"
    fi
done
finish_checks
