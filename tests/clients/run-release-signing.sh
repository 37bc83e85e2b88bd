#!/usr/bin/env bash
# run-release-signing.sh: the release paths of scripts/sign.sh, with stand-ins made on this machine
# for the release key's certificate and
#   token      the hardware key: a SoftHSM token that holds the only copy of the key, reached
#              through OpenSSL's PKCS#11 engine (VRK_SIGN_PKCS11_*); a wrong PIN signs nothing;
#   timestamp  the time-stamping authority: OpenSSL's ts behind a responder on 127.0.0.1 that this
#              driver starts and stops (VRK_SIGN_TIMESTAMP_URL); each countersignature verifies
#              against that authority and no other, and keeps the signature valid after the
#              certificate has expired, when the same signature without a time stamp is not.
# Every shipped program, library and package is signed so, and osslsigncode (against the key's
# certificate) and the platform's WinVerifyTrust accept each.
#   run-release-signing.sh token|timestamp WINE_RUN PREFIX VERIFY_TRUST STRIPPED_DIR PACKAGE...
set -u
mode=$1 VRK_RUN=$2 VRK_PREFIX=$3 verify_trust=$4 stripped=$5
shift 5
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/client-test-lib.sh"
unset VRK_SIGN_PKCS12 VRK_SIGN_PKCS11_MODULE VRK_SIGN_PKCS11_ENGINE VRK_SIGN_TIMESTAMP_URL VRK_SIGN_RELEASE
export SOURCE_DATE_EPOCH=$(date +%s)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; [ -z "${responder:-}" ] || kill "$responder"' EXIT
sign() { "$here/../../scripts/sign.sh" "" "$@" >/dev/null; }
authority() { # authority NAME: a self-signed time-stamping certificate and key, NAME.pem and NAME.key
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 11000 -subj "/CN=vrksolauth tests $1" \
        -addext extendedKeyUsage=critical,timeStamping -keyout "$scratch/$1.key" -out "$scratch/$1.pem" 2>/dev/null
}
"$here/../../scripts/make-test-certificate.sh" "$scratch" RELEASE
certificate=$scratch/vrksolauth-RELEASE-certificate.pem
checks=()

case $mode in
token)
    module=/usr/lib/softhsm/libsofthsm2.so
    engine=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so
    if ! command -v softhsm2-util >/dev/null || [ ! -f "$module" ] || [ ! -f "$engine" ]; then
        echo "skipped: softhsm2 or OpenSSL's PKCS#11 engine (libengine-pkcs11-openssl) is not installed"
        exit 77
    fi
    export SOFTHSM2_CONF=$scratch/softhsm2.conf
    mkdir "$scratch/tokens" && echo "directories.tokendir = $scratch/tokens" >"$SOFTHSM2_CONF"
    openssl pkcs12 -in "$scratch/vrksolauth-RELEASE-certificate.p12" -passin pass:test -nocerts -nodes |
        openssl pkey -out "$scratch/key.pem"
    softhsm2-util --init-token --free --label vrksolauth --pin 2468 --so-pin 1357 >/dev/null &&
        softhsm2-util --import "$scratch/key.pem" --token vrksolauth --label release --id 01 --pin 2468 >/dev/null ||
        fail "the token could not be made"
    rm -f "$scratch"/key.pem "$scratch"/*.p12
    export VRK_SIGN_PKCS11_MODULE=$module VRK_SIGN_CERTIFICATE=$certificate
    export VRK_SIGN_PKCS11_KEY='pkcs11:token=vrksolauth;object=release;type=private'
    VRK_SIGN_PASSWORD=1357 sign "$1" "$scratch/wrong-pin" 2>/dev/null && fail "a wrong PIN signed $(basename "$1")"
    export VRK_SIGN_PASSWORD=2468
    ;;
timestamp)
    authority authority && authority impostor || fail "the authorities' certificates could not be made"
    printf '%s\n' '[tsa]' 'default_tsa = authority' '[authority]' "serial = $scratch/serial" "signer_cert = $scratch/authority.pem" \
        "signer_key = $scratch/authority.key" 'signer_digest = sha256' 'default_policy = 1.3.6.1.4.1.4146.2.3' \
        'digests = sha256' 'ess_cert_id_alg = sha256' >"$scratch/tsa.cnf"
    echo 01 >"$scratch/serial"
    "$here/timestamp-responder.pl" "$scratch/tsa.cnf" "$scratch" >"$scratch/port" 2>"$scratch/responder.log" &
    responder=$!
    for _ in $(seq 50); do [ -s "$scratch/port" ] && break; sleep 0.1; done
    export VRK_SIGN_PKCS12=$scratch/vrksolauth-RELEASE-certificate.p12 VRK_SIGN_PASSWORD=test no_proxy=127.0.0.1
    export VRK_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat "$scratch/port")/
    # Twenty years on, the certificate of ten has expired.
    later=$((SOURCE_DATE_EPOCH + 20 * 365 * 86400))
    VRK_SIGN_TIMESTAMP_URL='' sign "$1" "$scratch/untimestamped"
    osslsigncode verify -CAfile "$certificate" -time "$later" -in "$scratch/untimestamped" >/dev/null 2>&1 &&
        fail "an untimestamped signature verifies after its certificate expired"
    checks=("-TSA-CAfile $scratch/authority.pem|Timestamp Server Signature verification: ok"
        "-TSA-CAfile $scratch/authority.pem -time $later|Signature verification: ok"
        "-TSA-CAfile $scratch/impostor.pem|!Timestamp Server Signature verification: ok")
    ;;
esac

files=("$stripped"/*.dll "$stripped"/*.exe "$@")
[ ${#files[@]} -ge 6 ] || fail "expected every shipped program, library and package, found ${#files[@]} files"
arguments="" verdicts=""
for file in "${files[@]}"; do
    name=$(basename "$file") signed=$scratch/$(basename "$file")
    sign "$file" "$signed" || { fail "sign.sh could not sign $name"; continue; }
    # "OPTIONS|LINE": osslsigncode verify with OPTIONS prints LINE, or for "!LINE" does not.
    for check in "|Succeeded" "${checks[@]}"; do
        eval "options=(${check%%|*})"
        line=${check#*|}
        osslsigncode verify -CAfile "$certificate" "${options[@]}" -in "$signed" >"$scratch/log" 2>&1
        case $line in
            !*) ! grep -qxF "${line#!}" "$scratch/log" ;;
            *) grep -qxF "$line" "$scratch/log" ;;
        esac || fail "osslsigncode verify ${check%%|*} $name: expected ${line/#!/no line }"
    done
    arguments+=" '$(windows_path "$signed")'"
    verdicts+="|0x00000000 $(windows_path "$signed")"
done
check_runs "$verify_trust" <<<"$arguments|0$verdicts"
finish_checks
