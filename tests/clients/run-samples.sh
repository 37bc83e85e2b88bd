#!/usr/bin/env bash
# run-samples.sh: runs the script samples for client developers under Wine's cscript and
# checks what they print, so that a sample that no longer runs is noticed (cscript exits 0
# even when a script fails to parse).
#   run-samples.sh WINE_RUN PREFIX SERVER_DLL VBSCRIPT_SAMPLE JSCRIPT_SAMPLE
# The server is registered and the product is not installed, so each sample gets to the
# failure report of Authenticate.
set -u
VRK_RUN=$1
VRK_PREFIX=$2
server_dll=$3
vbscript_sample=$4
jscript_sample=$5
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
trap cleanup_prefix EXIT

register_server "$server_dll"
for sample in "$vbscript_sample" "$jscript_sample"; do
    name=$(basename "$sample")
    run_windows cscript //nologo "$(windows_path "$sample")" DOM bob
    expect_status 0 "$name"
    for progid in Vrksolauth.VRKsolutionAuthenticator Vrksolauth.VRKsolutionAuthenticator.1; do
        expect_line "== $progid" "$name"
    done
    expect_line "IsInstalled: no" "$name"
    expect_line "Authenticate failed: 0x80004005" "$name"
    expect_line "  description: Authenticate: VRKsolution not installed" "$name"
    expect_no_text "CreateObject failed" "$name"
    expect_no_text "new ActiveXObject failed" "$name"
done
# Only VBScript shows the error's source.
run_windows cscript //nologo "$(windows_path "$vbscript_sample")"
expect_line "  source:      Vrksolauth.VRKsolutionAuthenticator.1" "$(basename "$vbscript_sample") without arguments"
finish_checks
