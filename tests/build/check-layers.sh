#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it. From the bottom up: the toolbox
# (Common), the script interpreter (registrar), the server frame (server), the objects built on
# it (authenticator, simulator), the programs (tools, examples, bench). The one way down-up that is
# meant: a server's module file names its classes in its object map.
set -euo pipefail
root=$1
cd "$root"

rank_of() {
    case $1 in
        Common) echo 0 ;;
        registrar) echo 1 ;;
        server) echo 2 ;;
        authenticator | simulator) echo 3 ;;
        tools | examples | bench) echo 4 ;;
        *) echo "" ;;
    esac
}

allowed() { # file, included folder
    case $1:$2 in
        server/VrksolauthModule.cpp:authenticator) return 0 ;;
    esac
    return 1
}

violations=0
checked=0
while IFS= read -r file; do
    folder=${file%%/*}
    own=$(rank_of "$folder")
    while IFS= read -r included; do
        target=$(rank_of "$included")
        [ -n "$target" ] || continue
        checked=$((checked + 1))
        if [ "$included" != "$folder" ] && { [ "$target" -gt "$own" ] ||
            { [ "$target" -eq "$own" ] && [ "$own" -eq 3 ]; }; } && ! allowed "$file" "$included"; then
            echo "$file includes $included/, which lies above (or beside) $folder/"
            violations=$((violations + 1))
        fi
    done < <(sed -n 's|^#include "\([A-Za-z]*\)/.*|\1|p' "$file")
done < <(find Common registrar server authenticator simulator tools examples bench -name '*.h' -o -name '*.cpp' | sort)

echo "$checked includes between folders checked, $violations against the layers"
[ "$violations" -eq 0 ]
