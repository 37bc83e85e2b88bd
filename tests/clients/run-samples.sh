#!/usr/bin/env bash
# run-samples.sh: the script samples for client developers under Wine's cscript, through each
# state of a machine in turn, each sample checked by all that it prints (both ProgIDs).
#   run-samples.sh WINE_RUN PREFIX SERVER_DLL VBSCRIPT_SAMPLE JSCRIPT_SAMPLE COMPONENTS_DLL VRKSIM_EXE
# The states, each added to the one before: the server registered but the product not installed;
# the product key without the maker's components (the host reports its own error for a failed
# creation, not the server's); the substitute components with CORP\alice (enabled) and CORP\bob
# (disabled) in their directory. Leaves nothing registered behind.
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
server_dll=$3
samples=("$4" "$5")
components_dll=$6
vrksim=$7
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; cleanup_prefix' EXIT

# Both results are VT_BOOL late-bound, which the samples, branching on the values, cannot tell from
# numbers: VBScript's TypeName names the type that the server returned, unconverted.
result_types() {
    printf 'Set o = CreateObject("%s")\r\nWScript.Echo TypeName(o.IsInstalled()) & " " & TypeName(o.Authenticate("CORP", "alice"))\r\n' \
        "$progid" >"$scratch/types.vbs"
    check_runs cscript <<<"//nologo '$(windows_path "$scratch/types.vbs")'|0|Boolean Boolean"
}

# Rows: the samples' arguments (shell words)|what each prints for each ProgID, VBScript's way,
# "|" apart; or "+COMMAND", a step that changes the machine. The first run has no arguments, as
# a user would try them first.
while IFS='|' read -r words lines; do
    [ "${words:0:1}" != + ] || { eval "${words:1}"; continue; }
    IFS='|' read -r -a expected <<<"$lines"
    for sample in "${samples[@]}"; do
        expect_sample "$(windows_path "$sample")" "$words" "${expected[@]}"
    done
done <<ROWS
+register_server "$server_dll"
|IsInstalled: no|Authenticate failed: 0x80004005|  description: Authenticate: VRKsolution not installed|  source:      $versioned_progid
+set_product_installed yes
CORP alice|CreateObject failed: 0x000001AD|  description: *|  source:      *
+register_server "$components_dll"
+add_simulator_users "$vrksim" "CORP alice" "CORP bob --disabled"
CORP alice|IsInstalled: yes|Authenticate(CORP\\alice): valid
+result_types
CORP bob|IsInstalled: yes|Authenticate(CORP\\bob): not valid
CORP mallory|IsInstalled: yes|Authenticate(CORP\\mallory): not valid
CORP ""|IsInstalled: yes|Authenticate failed: 0x80070057|  description: _CreateHandle: missing parameter: User|  source:      $versioned_progid
ROWS
finish_checks
