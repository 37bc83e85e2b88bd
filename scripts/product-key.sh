#!/usr/bin/env bash
# Prints the product's installation key as reg.exe names it (HKLM\...), read from the one
# constant that the server and vrkauth are built with, so that no script spells it again.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
path=$(sed -n 's/^constexpr char kProductKeyPath\[\] = "\(.*\)";$/\1/p' "$root/authenticator/ProductKey.h" |
    sed 's/\\\\/\\/g')
if [ -z "$path" ]; then
    echo "product-key.sh: no kProductKeyPath in authenticator/ProductKey.h" >&2
    exit 1
fi
printf 'HKLM\\%s\n' "$path"
