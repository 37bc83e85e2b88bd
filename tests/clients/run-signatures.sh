#!/usr/bin/env bash
# run-signatures.sh: every shipped file carries a valid Authenticode signature, as osslsigncode
# judges it against the build tree's test certificate and as the platform's own WinVerifyTrust
# judges it under Wine; a copy with one byte changed and an unsigned file are refused; and the
# signed server registers, loads and answers.
#   run-signatures.sh WINE_RUN PREFIX CERTIFICATE VERIFY_TRUST UNSIGNED SIGNED_DIR PACKAGE...
# SIGNED_DIR holds the signed programs and libraries, vrksolauth.dll and vrkauth.exe among them.
set -u
VRK_RUN=$1
VRK_PREFIX=$2
certificate=$3
verify_trust=$4
unsigned=$5
signed_dir=$6
shift 6
if [ -n "${VRK_SIGN_PKCS12:-}${VRK_SIGN_PKCS11_MODULE:-}" ]; then
    echo "skipped: a configured key signed this build; verify it against that key's chain"
    exit 77
fi
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; cleanup_prefix' EXIT

files=("$signed_dir"/*.dll "$signed_dir"/*.exe "$@")
[ ${#files[@]} -ge 6 ] || fail "expected every signed program, library and package, found ${#files[@]} files"
# One byte of the server's code changed: the signature no longer matches the file.
tampered=$scratch/vrksolauth.dll
cp "$signed_dir/vrksolauth.dll" "$tampered"
printf '\x5a' | dd of="$tampered" bs=1 seek=4096 conv=notrunc status=none
cmp -s "$tampered" "$signed_dir/vrksolauth.dll" && fail "the tampered copy equals the signed server"
arguments="" verdicts=""
for file in "${files[@]}"; do
    if osslsigncode verify -CAfile "$certificate" -in "$file" >"$scratch/verify.log" 2>&1; then
        pass "osslsigncode verifies $(basename "$file")"
    else
        fail "osslsigncode does not verify $(basename "$file"): $(tail -n 2 "$scratch/verify.log" | tr '\n' ' ')"
    fi
    arguments+=" '$(windows_path "$file")'"
    verdicts+="|0x00000000 $(windows_path "$file")"
done
osslsigncode verify -CAfile "$certificate" -in "$tampered" >/dev/null 2>&1 && fail "osslsigncode verifies the tampered copy"
# TRUST_E_BAD_DIGEST for the changed byte, TRUST_E_NOSIGNATURE for the unsigned file.
check_runs "$verify_trust" <<<"$arguments '$(windows_path "$tampered")' '$(windows_path "$unsigned")'|0$verdicts|0x80096010 $(windows_path "$tampered")|0x800B0100 $(windows_path "$unsigned")"

# The signed server is the one that ships: it registers, loads and answers.
register_server "$signed_dir/vrksolauth.dll"
check_runs "$signed_dir/vrkauth.exe" <<ROWS
info|0|server: yes, $(windows_path "$signed_dir/vrksolauth.dll") (file exists)|registration complete
--late-bound installed|1|installed: no
ROWS
finish_checks
