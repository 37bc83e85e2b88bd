#!/usr/bin/env bash
# sign.sh: signs one shipped file, a program, a library or a Windows Installer package, with a
# SHA-256 Authenticode signature (osslsigncode); without IN and OUT, says in one line with which key
# it signs.
#   sign.sh TEST_CERTIFICATE [IN OUT]
# The key, from the environment:
#   VRK_SIGN_PKCS12         a PKCS#12 file (certificate chain and key), its password in
#                           VRK_SIGN_PASSWORD; or
#   VRK_SIGN_PKCS11_MODULE  a PKCS#11 module for a hardware key, with VRK_SIGN_PKCS11_KEY (the
#                           key's id or URI), VRK_SIGN_CERTIFICATE (the certificate chain, PEM)
#                           and, where osslsigncode needs one, VRK_SIGN_PKCS11_ENGINE;
#   otherwise TEST_CERTIFICATE, the build tree's own test certificate (.p12, password "test"),
#   which says in its name that it is one and must never sign a release: with VRK_SIGN_RELEASE
#   set (a release build), sign.sh fails instead.
# VRK_SIGN_TIMESTAMP_URL, when set, has that RFC 3161 server countersign the signature, so that
# it stays valid after the certificate expires. Without it the signature's time is
# SOURCE_DATE_EPOCH, and signing the same file with the same key gives the same bytes.
set -euo pipefail
test_certificate=$1

arguments=(sign -h sha256 -n vrksolauth)
password=""
if [ -n "${VRK_SIGN_PKCS12:-}" ]; then
    arguments+=(-pkcs12 "$VRK_SIGN_PKCS12")
    password=${VRK_SIGN_PASSWORD:-}
    key="the release key in $VRK_SIGN_PKCS12"
elif [ -n "${VRK_SIGN_PKCS11_MODULE:-}" ]; then
    : "${VRK_SIGN_PKCS11_KEY:?sign.sh: VRK_SIGN_PKCS11_KEY names the key on the hardware token}"
    : "${VRK_SIGN_CERTIFICATE:?sign.sh: VRK_SIGN_CERTIFICATE names the certificate chain of the key (PEM)}"
    [ -z "${VRK_SIGN_PKCS11_ENGINE:-}" ] || arguments+=(-pkcs11engine "$VRK_SIGN_PKCS11_ENGINE")
    arguments+=(-pkcs11module "$VRK_SIGN_PKCS11_MODULE" -key "$VRK_SIGN_PKCS11_KEY" -certs "$VRK_SIGN_CERTIFICATE")
    password=${VRK_SIGN_PASSWORD:-}
    key="the key $VRK_SIGN_PKCS11_KEY of the token behind $VRK_SIGN_PKCS11_MODULE"
elif [ -n "${VRK_SIGN_RELEASE:-}" ]; then
    echo "sign.sh: a release is never signed with the TEST certificate: set VRK_SIGN_PKCS12 or VRK_SIGN_PKCS11_MODULE" >&2
    exit 1
else
    arguments+=(-pkcs12 "$test_certificate")
    password=test
    key="the TEST certificate $test_certificate, NOT FOR RELEASE"
fi
if [ -n "${VRK_SIGN_TIMESTAMP_URL:-}" ]; then
    arguments+=(-ts "$VRK_SIGN_TIMESTAMP_URL")
    key+=", time-stamped by $VRK_SIGN_TIMESTAMP_URL"
else
    arguments+=(-time "${SOURCE_DATE_EPOCH:?sign.sh: SOURCE_DATE_EPOCH is not set}")
fi

if [ $# -lt 3 ]; then
    echo "vrksolauth: signing with $key"
    exit 0
fi
in=$2
out=$3

# The password goes through a file only this user can read, never the command line, which
# other users can see.
rm -f "$out"
if [ -n "$password" ]; then
    password_file=$(umask 077 && mktemp)
    trap 'rm -f "$password_file"' EXIT
    printf '%s' "$password" >"$password_file"
    arguments+=(-readpass "$password_file")
fi
osslsigncode "${arguments[@]}" -in "$in" -out "$out" >/dev/null
