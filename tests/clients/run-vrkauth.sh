#!/usr/bin/env bash
# run-vrkauth.sh: runs vrkauth.exe under Wine and checks its exit codes and output.
#   run-vrkauth.sh WINE_RUN PREFIX VRKAUTH_EXE SERVER_DLL GROUP COMPONENTS_DLL VRKSIM_EXE
# Each GROUP is one test of related cases; it leaves nothing registered behind.
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
vrkauth=$3
server_dll=$4
group=$5
components_dll=$6
vrksim=$7
trap cleanup_prefix EXIT

# x86 or x64, as the machine field of vrkauth.exe's PE header says.
header=$(od -An -tu4 -j 60 -N 4 "$vrkauth" | tr -d ' ')
machine=$(od -An -tx2 -j $((header + 4)) -N 2 "$vrkauth" | tr -d ' ')
architecture=$(case $machine in 014c) echo x86 ;; 8664) echo x64 ;; *) echo "machine $machine" ;; esac)

# What every failure report of the server carries besides the failed call's line.
source_line="  source:      $versioned_progid"
not_installed="  description: Authenticate: VRKsolution not installed|$source_line"

usage_cases() {
    local usage='usage: vrkauth [--late-bound] installed'
    check_runs "$vrkauth" <<ROWS
--help|0|$usage|       vrkauth [--late-bound] authenticate DOMAIN USER
|2|vrkauth: no command given|$usage
frobnicate|2|vrkauth: unknown command 'frobnicate'|$usage
authenticate CORP|2|vrkauth: authenticate needs DOMAIN and USER|$usage
installed CORP|2|vrkauth: unexpected argument 'CORP' after installed|$usage
authenticate CORP alice extra|2|vrkauth: unexpected argument 'extra' after authenticate|$usage
--early-bound installed|2|vrkauth: unknown option '--early-bound'|$usage
--late-bound info|2|vrkauth: --late-bound applies to installed and authenticate only|$usage
ROWS
}

# A registered server whose file is gone counts as missing (a copy in the prefix's drive C:).
# The version-independent ProgID made to name another class.
name_another_class() { check_runs reg <<<"add 'HKCR\\$progid\\CLSID' /ve /d '$1' /f|0"; }

registration_cases() {
    local server bits copy=$VRK_PREFIX/drive_c/vrksolauth-copy.dll other='{00000000-0000-0000-0000-0000000000AA}'
    server=$(windows_path "$server_dll")
    bits=$([ "$architecture" = x64 ] && echo 64 || echo 32)
    check_runs "$vrkauth" <<ROWS
info|1|architecture: $architecture ($bits-bit process), $bits-bit registry view|class $clsid: MISSING, not registered|ProgID $progid: MISSING, not registered|registration incomplete
+register_server "$server_dll"
info|0|class $clsid: yes, VRKsolutionAuthenticator Class|ProgID $versioned_progid: yes, $clsid|ProgID $progid: yes, $clsid|server: yes, $server (file exists)|threading model: yes, Both|type library $libid 1.0: yes, loads from $server|product key $product_key: no, absent (VRKsolution not installed)|registration complete
+set_product_installed yes
info|0|product key $product_key: yes, present (VRKsolution installed)
+set_product_installed no
+name_another_class "$other"
info|1|ProgID $progid: MISSING, names another class: $other|registration incomplete
+cp "$server_dll" "$copy"; register_server "$copy"; rm "$copy"
info|1|server: MISSING, $(windows_path "$copy") (file missing)|registration incomplete
+register_server "$server_dll"
+unregister_server "$server_dll"
info|1|class $clsid: MISSING, not registered|ProgID $versioned_progid: MISSING, not registered|ProgID $progid: MISSING, not registered|!type library $libid 1.0: yes
installed|2|vrkauth: CoCreateInstance failed: HRESULT 0x80040154
--late-bound installed|2|vrkauth: CLSIDFromProgID failed: HRESULT 0x800401F3
ROWS
}

# Without the product key: "no", and Authenticate fails with the server's error information,
# which reaches a late-bound caller as DISP_E_EXCEPTION with the text in EXCEPINFO (no room for
# the interface). With the key but not the maker's components the object cannot be made.
without_components_cases() {
    register_server "$server_dll"
    local late call interface
    for late in "" --late-bound; do
        call=Authenticate interface=$iid
        [ -z "$late" ] || call="Invoke(Authenticate)" interface="(not reported)"
        check_runs "$vrkauth" <<ROWS
$late installed|1|installed: no
$late authenticate CORP alice|2|vrkauth: $call failed: HRESULT 0x80004005|$not_installed|  interface:   $interface|!CORP\\alice:
+set_product_installed yes
$late installed|2|vrkauth: CoCreateInstance failed: HRESULT 0x80040154|  description: VRKauth: failed to create signed SSO component|$source_line|  interface:   $iid
info|0|SSO component {2D070527-5F3F-4A0C-B426-2E598F6D470D}: not registered (0x80040154)
+set_product_installed no
ROWS
    done
}

# With the substitute components: the verdicts of their directory come through both bindings.
components_cases() {
    register_server "$server_dll"
    register_server "$components_dll"
    set_product_installed yes
    add_simulator_users "$vrksim" "CORP alice" "CORP bob --disabled"
    local late call
    for late in "" --late-bound; do
        call=$([ -z "$late" ] && echo Authenticate || echo "Invoke(Authenticate)")
        check_runs "$vrkauth" <<ROWS
$late installed|0|installed: yes
$late authenticate CORP alice|0|CORP\\alice: valid
$late authenticate CORP bob|1|CORP\\bob: not valid
$late authenticate CORP ""|2|vrkauth: $call failed: HRESULT 0x80070057|  description: _CreateHandle: missing parameter: User|$source_line
ROWS
    done
    # What the server's check finds for each component; then a per-user registration of the SSO
    # component that names another file: the server reads the machine's registration only (Wine's
    # COM ignores per-user classes too, so only the server's side shows here), and info warns.
    local sso='{2D070527-5F3F-4A0C-B426-2E598F6D470D}' file signer=""
    per_user_sso() { check_runs reg <<<"$1|0"; }
    file=$(windows_path "$components_dll")
    [ -n "${VRK_SIGN_PKCS12:-}${VRK_SIGN_PKCS11_MODULE:-}" ] ||
        signer=', signer "vrksolauth TEST code signing - NOT FOR RELEASE"'
    local verdict="$file, signature trusted (0x00000000)$signer, accepted (0x00000000)"
    check_runs "$vrkauth" <<ROWS
info|0|SSO component $sso: $verdict|handle manager {5F3D5012-F8A8-402F-97CF-927FE49BA9ED}: $verdict|!warning
+per_user_sso "add 'HKCU\\Software\\Classes\\CLSID\\$sso\\InprocServer32' /ve /d 'C:\\elsewhere\\rogue.dll' /f"
authenticate CORP alice|0|CORP\\alice: valid
info|0|SSO component $sso: $verdict|warning: a per-user registration of the SSO component exists (HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\$sso): Windows prefers it for unelevated clients; the server reads the machine's only and refuses what COM makes from it
+per_user_sso "delete 'HKCU\\Software\\Classes\\CLSID\\$sso' /f"
ROWS
}

# "surrogate on|off" from the 64-bit vrkauth, in a 64-bit prefix whose 32-bit view is planted with what
# the 32-bit regsvr32 would write (reg's /reg:32: no 32-bit program runs). Off removes what on wrote,
# first without the 64-bit server, then with one registered since, whose interface key off must keep.
surrogate_cases() {
    local interface_after_off
    undo+=("reg delete 'HKCR\\CLSID\\$clsid' /reg:32 /f" "reg delete 'HKCR\\AppID\\$clsid' /reg:32 /f")
    check_runs reg <<<"add 'HKCR\\CLSID\\$clsid\\InprocServer32' /ve /d 'C:\\x86\\vrksolauth.dll' /reg:32 /f|0"
    for interface_after_off in 1 0; do
        check_runs "$vrkauth" <<<"surrogate on|0|surrogate on: 64-bit clients create the 32-bit server in dllhost.exe"
        surrogate_entries 0 0
        [ "$interface_after_off" = 1 ] || register_server "$server_dll"
        check_runs "$vrkauth" <<<"surrogate off|0|surrogate off: 64-bit clients no longer reach the 32-bit server"
        surrogate_entries 1 "$interface_after_off"
    done
    unregister_server "$server_dll"
}
# surrogate_entries SURROGATE INTERFACE: reg query's status (0 there, 1 absent) for the AppID with its
# DllSurrogate and the class's AppID value in the 32-bit view, and for the 64-bit view's interface key.
surrogate_entries() {
    check_runs reg <<ROWS
query 'HKCR\\AppID\\$clsid' /v DllSurrogate /reg:32|$1
query 'HKCR\\CLSID\\$clsid' /v AppID /reg:32|$1
query 'HKCR\\Interface\\$iid\\ProxyStubClsid32' /reg:64|$2
ROWS
}

case $group in
    usage | registration | without_components | components | surrogate) "${group}_cases" ;;
    *) echo "unknown group '$group'" && exit 2 ;;
esac
finish_checks
