#!/usr/bin/env bash
# run-script-client.sh: runs one of the script clients' checks under Wine's cscript.
#   run-script-client.sh WINE_RUN PREFIX SERVER_DLL SCRIPT SCENARIO [COMPONENTS_DLL VRKSIM_EXE]
# Registers the server (and the substitute components, when given), prepares the product
# key and the components' user directory for the scenario, runs
# "cscript //nologo SCRIPT SCENARIO" and requires both exit code 0 and the script's success
# line: Wine's cscript exits 0 on a missing script or an unhandled error, so the exit code
# alone proves nothing. Leaves nothing registered behind.
#
# Scenarios:
#   not-installed   server registered, no product key
#   no-components   server registered, product key present, the maker's components missing
#   components      server and substitute components registered, product key present; users
#                   CORP\alice (enabled) and CORP\bob (disabled) in the components' directory
set -u
VRK_RUN=$1
VRK_PREFIX=$2
server_dll=$3
script=$4
scenario=$5
components_dll=${6:-}
vrksim=${7:-}
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
trap cleanup_prefix EXIT

readonly success_line="all script checks passed"

register_server "$server_dll"
case $scenario in
    not-installed) ;;
    no-components) set_product_installed yes ;;
    components)
        register_server "$components_dll"
        set_product_installed yes
        add_simulator_users "$vrksim" "CORP alice" "CORP bob --disabled"
        ;;
    *)
        echo "unknown scenario '$scenario'"
        exit 2
        ;;
esac

run_windows cscript //nologo "$(windows_path "$script")" "$scenario"
printf '%s\n' "$output" | sed 's/^/    | /'
expect_status 0 "cscript $(basename "$script") $scenario"
expect_line "$success_line" "the script ran to its end"
finish_checks
