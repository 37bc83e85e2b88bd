#!/usr/bin/env bash
# run-regfree.sh: registration-free use of the server. In a fresh prefix where nothing is
# registered, the DLL, its assembly manifest and both clients share one folder:
# vrkauth-regfree.exe, whose application manifest depends on the assembly, creates the class
# by CLSID (early-bound) and by its version-independent ProgID (late-bound) and calls both
# methods; vrkauth.exe beside it, without a manifest, cannot create it at all. Neither writes
# to the registry.
#   run-regfree.sh WINE_RUN PREFIX REGFREE_EXE VRKAUTH_EXE SERVER_DLL ASSEMBLY_MANIFEST
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
regfree_exe=$3
plain_exe=$4
server_dll=$5
assembly_manifest=$6

own_prefixes "$VRK_PREFIX"
# The first export also makes the prefix.
export_registry "$scratch/before.txt"

# An application's own folder, as an administrator would lay it out.
readonly folder='C:\vrksolauth'
mkdir -p "$VRK_PREFIX/drive_c/vrksolauth"
cp "$regfree_exe" "$plain_exe" "$server_dll" "$assembly_manifest" "$VRK_PREFIX/drive_c/vrksolauth/"
regfree=$folder\\$(basename "$regfree_exe")
plain=$folder\\$(basename "$plain_exe")

# The error source is the ProgID that ProgIDFromCLSID finds: here, in the assembly manifest.
# Without the application manifest, from the same folder, the class is nowhere to be found.
for late in "" --late-bound; do
    if [ -z "$late" ]; then
        call=Authenticate interface=$iid not_created="CoCreateInstance failed: HRESULT 0x80040154"
    else
        call="Invoke(Authenticate)" interface="(not reported)" not_created="CLSIDFromProgID failed: HRESULT 0x800401F3"
    fi
    check_runs "$regfree" <<ROWS
$late installed|1|installed: no
$late authenticate CORP alice|2|vrkauth: $call failed: HRESULT 0x80004005|  description: Authenticate: VRKsolution not installed|  source:      $versioned_progid|  interface:   $interface
ROWS
    check_runs "$plain" <<ROWS
$late installed|2|vrkauth: $not_created
$late authenticate CORP alice|2|vrkauth: $not_created
ROWS
done

# The registry knows nothing of the class; the type library is found through the manifest.
check_runs "$regfree" <<<"info|1|class $clsid: MISSING, not registered|type library $libid 1.0: yes, loads from $folder\\$(basename "$server_dll")"
check_runs "$plain" <<<"info|1|type library $libid 1.0: MISSING, not loadable (HRESULT 0x8002801D)"

export_registry "$scratch/after.txt"
expect_same "$scratch/before.txt" "$scratch/after.txt" "the whole registry after the clients as before"
finish_checks
