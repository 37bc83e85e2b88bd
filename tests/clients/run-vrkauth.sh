#!/usr/bin/env bash
# run-vrkauth.sh: runs vrkauth.exe under Wine and checks its exit codes and output.
#   run-vrkauth.sh WINE_RUN PREFIX VRKAUTH_EXE SERVER_DLL GROUP [COMPONENTS_DLL VRKSIM_EXE]
# Each GROUP is one test of related cases; it leaves nothing registered behind.
set -u
VRK_RUN=$1
VRK_PREFIX=$2
vrkauth=$3
server_dll=$4
group=$5
components_dll=${6:-}
vrksim=${7:-}
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
trap cleanup_prefix EXIT

readonly clsid='{5A486531-0201-43E0-BD81-D544BB08D0DC}'
readonly iid='{D57B64F7-8728-4717-BD9C-A09719A06BA0}'
readonly libid='{2C21A4B6-C51A-4990-B440-B0841534F73A}'
readonly versioned_progid='Vrksolauth.VRKsolutionAuthenticator.1'
readonly progid='Vrksolauth.VRKsolutionAuthenticator'

vrkauth() {
    run_windows "$vrkauth" "$@"
}

# The lines that every failure report of the server carries, whichever call failed.
expect_server_error() {
    local what=$1 hr=$2 description=$3
    expect_status 2 "$what"
    expect_line_matching "vrkauth: [A-Za-z()]+ failed: HRESULT $hr" "$what"
    expect_line "  description: $description" "$what"
    expect_line "  source:      $versioned_progid" "$what"
}

usage_cases() {
    vrkauth --help
    expect_status 0 "--help"
    expect_line "usage: vrkauth [--late-bound] installed" "--help"
    expect_line "       vrkauth [--late-bound] authenticate DOMAIN USER" "--help"

    local -a wrong
    local reason
    while IFS='|' read -r reason arguments; do
        read -r -a wrong <<<"$arguments"
        vrkauth "${wrong[@]}"
        expect_status 2 "wrong usage: ${arguments:-(no arguments)}"
        expect_line "vrkauth: $reason" "wrong usage: ${arguments:-(no arguments)}"
        expect_line "usage: vrkauth [--late-bound] installed" "wrong usage shows the usage"
    done <<'CASES'
no command given|
unknown command 'frobnicate'|frobnicate
authenticate needs DOMAIN and USER|authenticate CORP
unexpected argument 'CORP' after installed|installed CORP
unexpected argument 'extra' after authenticate|authenticate CORP alice extra
unknown option '--early-bound'|--early-bound installed
--late-bound applies to installed and authenticate only|--late-bound info
CASES
}

registration_cases() {
    local server_path
    server_path=$(windows_path "$server_dll")

    vrkauth info
    expect_status 1 "info, nothing registered"
    case $(pe_architecture "$vrkauth") in
        x64) expect_line "architecture: x64 (64-bit process), 64-bit registry view" "info names its registry view" ;;
        x86) expect_line "architecture: x86 (32-bit process), 32-bit registry view" "info names its registry view" ;;
        *) fail "vrkauth.exe is of an unknown architecture" ;;
    esac
    expect_lines "info, nothing registered" "class $clsid: MISSING, not registered" \
        "ProgID $progid: MISSING, not registered" "registration incomplete"

    register_server "$server_dll"
    vrkauth info
    expect_status 0 "info after regsvr32"
    expect_lines "info after regsvr32" "class $clsid: yes, VRKsolutionAuthenticator Class" \
        "ProgID $versioned_progid: yes, $clsid" "ProgID $progid: yes, $clsid" \
        "server: yes, $server_path (file exists)" "threading model: yes, Both" \
        "type library $libid 1.0: yes, loads from $server_path" \
        "product key $product_key: no, absent (VRKsolution not installed)" "registration complete"

    set_product_installed yes
    vrkauth info
    expect_line "product key $product_key: yes, present (VRKsolution installed)" "info with the product key"
    set_product_installed no

    unregister_server "$server_dll"
    vrkauth info
    expect_status 1 "info after regsvr32 /u"
    expect_lines "info after regsvr32 /u" "class $clsid: MISSING, not registered" \
        "ProgID $versioned_progid: MISSING, not registered" "ProgID $progid: MISSING, not registered"
    expect_no_text "type library $libid 1.0: yes" "info after regsvr32 /u"

    vrkauth installed
    expect_status 2 "installed, server unregistered"
    expect_line "vrkauth: CoCreateInstance failed: HRESULT 0x80040154" "installed, server unregistered"
    vrkauth --late-bound installed
    expect_status 2 "late-bound installed, server unregistered"
    expect_line "vrkauth: CLSIDFromProgID failed: HRESULT 0x800401F3" "late-bound installed, server unregistered"
}

installed_cases() {
    register_server "$server_dll"
    local binding
    for binding in early late; do
        local -a option=()
        [ $binding = late ] && option=(--late-bound)

        vrkauth "${option[@]}" installed
        expect_status 1 "$binding-bound installed, no product key"
        expect_line "installed: no" "$binding-bound installed, no product key"

        # The key is there but the maker's components are not: the object cannot be made.
        set_product_installed yes
        vrkauth "${option[@]}" installed
        expect_server_error "$binding-bound installed, no components" 0x80040154 \
            "VRKauth: failed to create signed SSO component"
        expect_line "vrkauth: CoCreateInstance failed: HRESULT 0x80040154" "$binding-bound installed, no components"
        expect_line "  interface:   $iid" "$binding-bound installed, no components"
        set_product_installed no
    done
}

authenticate_cases() {
    register_server "$server_dll"
    vrkauth authenticate CORP alice
    expect_server_error "authenticate, not installed" 0x80004005 "Authenticate: VRKsolution not installed"
    expect_line "vrkauth: Authenticate failed: HRESULT 0x80004005" "authenticate, not installed"
    expect_line "  interface:   $iid" "authenticate, not installed"
    expect_no_text "CORP\\alice:" "authenticate, not installed gives no verdict"

    # A failing method reaches a late-bound caller as DISP_E_EXCEPTION with the server's
    # text in EXCEPINFO, which has no room for the interface.
    vrkauth --late-bound authenticate CORP alice
    expect_server_error "late-bound authenticate, not installed" 0x80004005 "Authenticate: VRKsolution not installed"
    expect_line "vrkauth: Invoke(Authenticate) failed: HRESULT 0x80004005" "late-bound authenticate, not installed"
    expect_line "  interface:   (not reported)" "late-bound authenticate, not installed"
}

# With the substitute components: the verdicts of their directory come through both bindings.
components_cases() {
    register_server "$server_dll"
    register_server "$components_dll"
    set_product_installed yes
    add_simulator_users "$vrksim" "CORP alice" "CORP bob --disabled"
    local binding
    for binding in early late; do
        local -a option=()
        [ $binding = late ] && option=(--late-bound)

        vrkauth "${option[@]}" installed
        expect_status 0 "$binding-bound installed, with components"
        expect_line "installed: yes" "$binding-bound installed, with components"

        vrkauth "${option[@]}" authenticate CORP alice
        expect_status 0 "$binding-bound authenticate an enabled user"
        expect_line "CORP\\alice: valid" "$binding-bound authenticate an enabled user"

        vrkauth "${option[@]}" authenticate CORP bob
        expect_status 1 "$binding-bound authenticate a disabled user"
        expect_line "CORP\\bob: not valid" "$binding-bound authenticate a disabled user"

        vrkauth "${option[@]}" authenticate CORP ""
        expect_server_error "$binding-bound authenticate an empty user" 0x80070057 \
            "_CreateHandle: missing parameter: User"
    done
    expect_line "vrkauth: Invoke(Authenticate) failed: HRESULT 0x80070057" "late-bound authenticate an empty user"
}

case $group in
    usage) usage_cases ;;
    registration) registration_cases ;;
    installed) installed_cases ;;
    authenticate) authenticate_cases ;;
    components) components_cases ;;
    *)
        echo "unknown group '$group'"
        exit 2
        ;;
esac
finish_checks
