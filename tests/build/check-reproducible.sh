#!/usr/bin/env bash
# check-reproducible.sh: builds what is shipped a second time, from a copy of the sources in
# another folder and later, and compares it byte for byte with this build tree's: the programs
# and libraries as stripped and as signed and their debug information, the type library and the
# generated header, the Windows Installer package, the ZIP, the symbols archive and SHA256SUMS. The second build signs with this tree's test
# certificate at the same signing time, so that even the signatures must agree.
#   check-reproducible.sh SOURCE_DIR BUILD_DIR TOOLCHAIN SOURCE_DATE_EPOCH CERTIFICATE_DIR [PACKAGE_WITH]
set -euo pipefail
source_dir=$1
build=$2
toolchain=$3
epoch=$4
certificate_dir=$5
package_with=${6:-}
second=$build/reproducible
rm -rf "$second"
mkdir -p "$second/src"
# The tracked files, as a clean clone of this commit would have them.
git -C "$source_dir" ls-files -z | (cd "$source_dir" && xargs -0 tar cf -) | tar xf - -C "$second/src"
SOURCE_DATE_EPOCH=$epoch cmake -S "$second/src" -B "$second/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DVRK_PACKAGE_WITH="$package_with" -DVRK_TEST_CERTIFICATE_DIR="$certificate_dir" \
    >"$second/configure.log"
VRK_SIGN_PKCS12='' VRK_SIGN_PKCS11_MODULE='' VRK_SIGN_TIMESTAMP_URL='' \
    cmake --build "$second/build" --target vrk_package_zip -j"$(nproc)" >"$second/build.log"

differing=0
compared=0
while IFS= read -r file; do
    compared=$((compared + 1))
    if cmp -s "$build/$file" "$second/build/$file"; then
        echo "same:    $file"
    else
        echo "DIFFERS: $file"
        differing=$((differing + 1))
    fi
# What ships: the signed files, each with the stripped file it was signed from and its symbols
# (the tests' own components are stripped and signed too, but not shipped).
done < <(cd "$build" && ls -1 generated/vrksolauth.tlb generated/vrksolauth.h generated/vrksolauth_i.c signed/* \
    vrksolauth-*.msi vrksolauth-*.zip SHA256SUMS && for file in signed/*; do
        echo "stripped/${file#signed/}" && echo "symbols/${file#signed/}.debug"
    done)
echo "$compared files compared, $differing differ"
[ "$compared" -ge 22 ] && [ "$differing" -eq 0 ]
