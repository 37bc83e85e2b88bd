#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian 12 machine.
# Idempotent: when everything is present it only verifies and returns.
#   scripts/bootstrap.sh [PACKAGE...]   also installs the named Debian packages when missing
#                                       (scripts/bench.sh asks for its plotting tool so)
set -u

extra_packages=()
for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || extra_packages+=("$package")
done

# wixl builds the Windows Installer packages; msitools' msiinfo and msiextract read them in the tests.
packages=(cmake g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine32:i386 wine64 libwine-dev googletest clang-format
    msitools wixl faketime osslsigncode openssl zip)
# A software token and OpenSSL's PKCS#11 engine stand in for a hardware signing key in one test,
# which skips where they cannot be had: failing to install them fails nothing.
optional_packages=(softhsm2 libengine-pkcs11-openssl)

have_everything()
{
    local triplet
    for triplet in i686-w64-mingw32 x86_64-w64-mingw32; do
        command -v $triplet-g++-posix >/dev/null && command -v $triplet-gcc-posix >/dev/null &&
            command -v $triplet-widl >/dev/null && command -v $triplet-windres >/dev/null || return 1
    done
    command -v wine >/dev/null &&
        [ -x /usr/lib/wine/wine64 ] &&
        command -v cmake >/dev/null &&
        command -v clang-format >/dev/null &&
        command -v wixl >/dev/null && command -v msiinfo >/dev/null && command -v msiextract >/dev/null &&
        command -v faketime >/dev/null && command -v osslsigncode >/dev/null && command -v openssl >/dev/null &&
        command -v zip >/dev/null &&
        [ -f /usr/src/googletest/CMakeLists.txt ] &&
        [ -d /usr/include/wine/wine/windows ] &&
        [ -f /usr/lib/i386-linux-gnu/wine/i386-windows/stdole2.tlb ] &&
        [ -f /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/stdole2.tlb ]
}

if have_everything && dpkg -s "${optional_packages[@]}" >/dev/null 2>&1 && [ ${#extra_packages[@]} -eq 0 ]; then
    exit 0
fi
packages+=("${extra_packages[@]}")

sudo_if_needed=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_if_needed=(sudo)
fi
apt_get()
{
    DEBIAN_FRONTEND=noninteractive "${sudo_if_needed[@]}" apt-get -y -q "$@"
}

echo "bootstrap: installing the toolchain, Wine, GoogleTest and msitools from Debian's packages" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_if_needed[@]}" dpkg --add-architecture i386
fi

# The update may fail while one of the i386 security indexes is being synchronised;
# the install below decides whether what we got is good enough.
apt_get update || echo "bootstrap: apt-get update reported a failure; trying the install anyway" >&2

if ! apt_get install --no-install-recommends "${packages[@]}"; then
    # amd64 libraries can already carry security versions that the i386 side does not
    # offer yet; prefer the main release so that both architectures agree.
    pin=/etc/apt/preferences.d/vrksolauth-security-pin
    echo "bootstrap: retrying with the security archive pinned below the main release ($pin)" >&2
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' |
        "${sudo_if_needed[@]}" tee "$pin" >/dev/null
    apt_get update || true
    apt_get install --no-install-recommends --allow-downgrades "${packages[@]}"
fi

apt_get install --no-install-recommends "${optional_packages[@]}" ||
    echo "bootstrap: ${optional_packages[*]} could not be installed; the signing test with a token will skip" >&2

if ! have_everything; then
    echo "bootstrap: the toolchain is still incomplete after installing; see the messages above" >&2
    exit 1
fi
/usr/lib/wine/wine64 --version >&2
i686-w64-mingw32-g++-posix --version | head -n 1 >&2
x86_64-w64-mingw32-g++-posix --version | head -n 1 >&2
