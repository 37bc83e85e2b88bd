#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it, or of one beside it among the
# objects. From the bottom up: the toolbox (Common), the component integrity check (integrity)
# and the script interpreter (registrar), the server frame (server), the objects built on it
# (authenticator, simulator), the programs (tools, examples, bench). The one way down-up that is meant: a server's module file names its
# classes in its object map (server/VrksolauthModule.cpp includes authenticator/).
set -euo pipefail
cd "$1"
declare -A rank=([Common]=0 [integrity]=1 [registrar]=1 [server]=2 [authenticator]=3 [simulator]=3 [tools]=4 [examples]=4 [bench]=4)
violations=0
checked=0
while IFS= read -r file; do
    folder=${file%%/*}
    while IFS= read -r included; do
        [ -n "${rank[$included]:-}" ] || continue
        checked=$((checked + 1))
        if [ "$included" != "$folder" ] && [ "$file:$included" != server/VrksolauthModule.cpp:authenticator ] &&
            { [ "${rank[$included]}" -gt "${rank[$folder]}" ] || [ "${rank[$included]}${rank[$folder]}" = 33 ]; }; then
            echo "$file includes $included/, which lies above (or beside) $folder/"
            violations=$((violations + 1))
        fi
    done < <(sed -n 's|^#include "\([A-Za-z]*\)/.*|\1|p' "$file")
done < <(find "${!rank[@]}" -name '*.h' -o -name '*.cpp' | sort)

echo "$checked includes between folders checked, $violations against the layers"
[ "$violations" -eq 0 ]
