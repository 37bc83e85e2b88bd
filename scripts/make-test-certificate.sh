#!/usr/bin/env bash
# make-test-certificate.sh: makes a build tree's own self-signed code-signing certificate, which
# signs the shipped files where no real key is configured (scripts/sign.sh), so that the tests
# can check every signature. It is a test certificate: its name says so, it is made anew in
# every build tree and never committed, and nothing signed with it may be released.
#   make-test-certificate.sh FOLDER   writes FOLDER/vrksolauth-TEST-certificate.{pem,p12}
set -euo pipefail
folder=$1
mkdir -p "$folder"
key=$(mktemp)
trap 'rm -f "$key"' EXIT
openssl req -x509 -newkey rsa:3072 -nodes -sha256 -days 3650 -keyout "$key" \
    -out "$folder/vrksolauth-TEST-certificate.pem" \
    -subj "/O=vrksolauth tests/CN=vrksolauth TEST code signing - NOT FOR RELEASE" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" 2>/dev/null
openssl pkcs12 -export -inkey "$key" -in "$folder/vrksolauth-TEST-certificate.pem" \
    -out "$folder/vrksolauth-TEST-certificate.p12" -passout pass:test -name "vrksolauth TEST certificate"
