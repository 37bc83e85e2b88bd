#!/usr/bin/env bash
# make-test-certificate.sh: makes a self-signed code-signing certificate for a build, which signs
# the shipped files where no real key is configured (scripts/sign.sh), so that the tests can check
# every signature and the server's check of the maker's components runs for real. It is a test
# certificate: its name says so, it is made anew for every build and never committed, and nothing
# signed with it may be released. A certificate that exists already is kept: trees that share it
# have signed with it.
#   make-test-certificate.sh FOLDER [NAME]   writes FOLDER/vrksolauth-NAME-certificate.{pem,p12}
#                                            (NAME: TEST by default)
set -euo pipefail
folder=$1
name=${2:-TEST}
pem=$folder/vrksolauth-$name-certificate.pem
p12=$folder/vrksolauth-$name-certificate.p12
mkdir -p "$folder"
if [ -s "$pem" ] && [ -s "$p12" ]; then
    exit 0
fi
key=$(mktemp)
trap 'rm -f "$key" "$pem.new" "$p12.new"' EXIT
openssl req -x509 -newkey rsa:3072 -nodes -sha256 -days 3650 -keyout "$key" -out "$pem.new" \
    -subj "/O=vrksolauth tests/CN=vrksolauth $name code signing - NOT FOR RELEASE" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" 2>/dev/null
openssl pkcs12 -export -inkey "$key" -in "$pem.new" -out "$p12.new" -passout pass:test \
    -name "vrksolauth $name certificate"
# Both appear at once, so that a tree never finds one without the other.
mv "$p12.new" "$p12"
mv "$pem.new" "$pem"
