#!/usr/bin/env bash
# Fails when a C++ source of the project differs from what clang-format makes of it.
set -euo pipefail
clang_format=$1
root=$2
cd "$root"
mapfile -t files < <(find Common authenticator registrar server tests simulator tools examples bench \
    -name '*.h' -o -name '*.cpp' 2>/dev/null | sort)
"$clang_format" --dry-run --Werror "${files[@]}"
echo "${#files[@]} files formatted"
