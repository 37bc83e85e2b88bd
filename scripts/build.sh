#!/usr/bin/env bash
# Configures and cross-builds the DLL, its tools and its tests, one build tree per
# architecture: build/x86 (32-bit) and build/x64 (64-bit), both signing with the one TEST
# certificate of build/signing where no key is configured.
#   scripts/build.sh [x86|x64]...      (default: both)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}

toolchain_of() {
    case $1 in
        x86) echo "$root/cmake/toolchain-i686-w64-mingw32.cmake" ;;
        x64) echo "$root/cmake/toolchain-x86_64-w64-mingw32.cmake" ;;
        *) echo "build.sh: unknown architecture '$1' (x86 or x64)" >&2; return 1 ;;
    esac
}

# A release build (README, "Signed and reproducible"): VRK_RELEASE=1, the maker's publisher
# certificates in VRK_PUBLISHER_CERTIFICATES, and the key where scripts/sign.sh reads it.
release=(-DVRK_RELEASE="$([ -n "${VRK_RELEASE:-}" ] && echo ON || echo OFF)")
[ -z "${VRK_PUBLISHER_CERTIFICATES:-}" ] || release+=("-DVRK_PUBLISHER_CERTIFICATES=$VRK_PUBLISHER_CERTIFICATES")

architectures=("$@")
[ ${#architectures[@]} -gt 0 ] || architectures=(x86 x64)
for arch in "${architectures[@]}"; do
    toolchain=$(toolchain_of "$arch")
    # The 64-bit tree's ZIP also carries the 32-bit tree's files, once that tree is built.
    package_with=""
    if [ "$arch" = x64 ] && [ -f "$build/x86/CMakeCache.txt" ]; then
        package_with=$build/x86
    fi
    cmake -S "$root" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DVRK_PACKAGE_WITH="$package_with" "${release[@]}" \
        -DVRK_TEST_CERTIFICATE_DIR="$build/signing" >/dev/null
    cmake --build "$build/$arch" -j"$(nproc)"
done
