#!/usr/bin/env bash
# run-release-signing.sh token|timestamp WINE_RUN PREFIX VERIFY_TRUST STRIPPED_DIR PACKAGE...: the
# release paths of scripts/sign.sh sign every shipped file, which osslsigncode (against a stand-in
# release certificate) and WinVerifyTrust accept. token: the only copy of the key is in a SoftHSM
# token, used through OpenSSL's PKCS#11 engine; a wrong PIN signs nothing. timestamp: OpenSSL's ts
# behind a responder on 127.0.0.1, started and stopped here, countersigns; that authority's
# signature verifies, another's does not, and it keeps the signature valid after the certificate
# expired, unlike none.
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
"$here/../../scripts/make-test-certificate.sh" "$scratch" RELEASE
certificate=$scratch/vrksolauth-RELEASE-certificate.pem p12=$scratch/vrksolauth-RELEASE-certificate.p12
# Rows "OPTIONS|LINE": osslsigncode verify with OPTIONS prints LINE, or for "!LINE" does not.
checks=("|Succeeded")

if [ "$mode" = token ]; then
    module=/usr/lib/softhsm/libsofthsm2.so engine=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so
    [ -f "$module" ] && [ -f "$engine" ] && command -v softhsm2-util >/dev/null ||
        { echo "skipped: softhsm2 or OpenSSL's PKCS#11 engine (libengine-pkcs11-openssl) is not installed"; exit 77; }
    export SOFTHSM2_CONF=$scratch/softhsm2.conf VRK_SIGN_PKCS11_MODULE=$module VRK_SIGN_CERTIFICATE=$certificate
    export VRK_SIGN_PKCS11_KEY='pkcs11:token=vrksolauth;object=release;type=private'
    mkdir "$scratch/tokens" && echo "directories.tokendir = $scratch/tokens" >"$SOFTHSM2_CONF"
    openssl pkcs12 -in "$p12" -passin pass:test -nocerts -nodes | openssl pkey -out "$scratch/key.pem"
    softhsm2-util --init-token --free --label vrksolauth --pin 2468 --so-pin 1357 >/dev/null &&
        softhsm2-util --import "$scratch/key.pem" --token vrksolauth --label release --id 01 --pin 2468 >/dev/null ||
        fail "the token could not be made"
    rm -f "$scratch/key.pem" "$p12"
    VRK_SIGN_PASSWORD=1357 sign "$1" "$scratch/wrong-pin" 2>/dev/null && fail "a wrong PIN signed $(basename "$1")"
    export VRK_SIGN_PASSWORD=2468
else
    for name in authority impostor; do openssl req -x509 -newkey rsa:2048 -nodes -days 11000 -subj "/CN=$name" \
        -keyout "$scratch/$name.key" -out "$scratch/$name.pem" -addext extendedKeyUsage=critical,timeStamping 2>/dev/null; done
    printf '%s\n' '[tsa]' 'default_tsa = authority' '[authority]' "serial = $scratch/serial" 'signer_digest = sha256' \
        "signer_cert = $scratch/authority.pem" "signer_key = $scratch/authority.key" 'default_policy = 1.3.6.1.4.1.4146.2.3' \
        'digests = sha256' 'ess_cert_id_alg = sha256' >"$scratch/tsa.cnf"
    echo 01 >"$scratch/serial"
    "$here/timestamp-responder.pl" "$scratch/tsa.cnf" "$scratch" >"$scratch/port" 2>"$scratch/responder.log" &
    responder=$!
    for _ in $(seq 50); do [ -s "$scratch/port" ] && break; sleep 0.1; done
    export VRK_SIGN_PKCS12=$p12 VRK_SIGN_PASSWORD=test VRK_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat "$scratch/port")/ no_proxy=127.0.0.1
    later=$((SOURCE_DATE_EPOCH + 20 * 365 * 86400)) # the certificate of 10 years has expired
    VRK_SIGN_TIMESTAMP_URL='' sign "$1" "$scratch/untimestamped"
    osslsigncode verify -CAfile "$certificate" -time "$later" -in "$scratch/untimestamped" >/dev/null 2>&1 &&
        fail "an untimestamped signature verifies after its certificate expired"
    checks+=("-TSA-CAfile $scratch/authority.pem|Timestamp Server Signature verification: ok"
        "-TSA-CAfile $scratch/authority.pem -time $later|Signature verification: ok"
        "-TSA-CAfile $scratch/impostor.pem|!Timestamp Server Signature verification: ok")
fi

files=("$stripped"/*.dll "$stripped"/*.exe "$@")
[ ${#files[@]} -ge 6 ] || fail "expected every shipped program, library and package, found ${#files[@]} files"
arguments="" verdicts=""
for file in "${files[@]}"; do
    name=$(basename "$file") signed=$scratch/$(basename "$file")
    sign "$file" "$signed" || { fail "sign.sh could not sign $name"; continue; }
    for check in "${checks[@]}"; do
        eval "options=(${check%%|*})"
        line=${check#*|}
        osslsigncode verify -CAfile "$certificate" "${options[@]}" -in "$signed" >"$scratch/log" 2>&1
        [[ $line == !* ]] && ! grep -qxF "${line#!}" "$scratch/log" || grep -qxF "$line" "$scratch/log" ||
            fail "osslsigncode verify ${check%%|*} $name: expected ${line/#!/no line }"
    done
    arguments+=" '$(windows_path "$signed")'" verdicts+="|0x00000000 $(windows_path "$signed")"
done
check_runs "$verify_trust" <<<"$arguments|0$verdicts"
finish_checks
