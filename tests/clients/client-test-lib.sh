# client-test-lib.sh: helpers for the drivers that run clients of the server under Wine.
# A driver takes the emulator (cmake/wine-run.sh) and its prefix as its first two arguments,
# sources this file before it reads the others, runs its checks and ends with finish_checks.
# Checks record a failure and go on, so that one run shows every broken expectation.

set -u
: "${VRK_RUN:=$1}" "${VRK_PREFIX:=$2}"
failures=0
output=""
status=0
undo=()
product_key=$("$(dirname "${BASH_SOURCE[0]}")/../../scripts/product-key.sh") || exit 1
readonly product_key
readonly simulator_settings_key='HKLM\SOFTWARE\VEYRAK Corporation\VRKSolutionSimulator'
# The server's identifiers as its clients know them, written here and not taken from the build, so
# that a check for their absence cannot pass on an identifier that the build misread.
readonly clsid='{5A486531-0201-43E0-BD81-D544BB08D0DC}' iid='{D57B64F7-8728-4717-BD9C-A09719A06BA0}'
readonly libid='{2C21A4B6-C51A-4990-B440-B0841534F73A}' progid='Vrksolauth.VRKsolutionAuthenticator'
readonly versioned_progid=$progid.1

# The Windows form of a host path, through the prefix's Z: drive, which maps "/".
windows_path() {
    local absolute
    absolute=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    printf 'Z:%s' "${absolute//\//\\}"
}

# Runs a Windows program; its stdout and stderr, line ends made Unix ones, land in $output
# and its exit code in $status.
run_windows() {
    local capture
    capture=$(mktemp)
    "$VRK_RUN" "$VRK_PREFIX" "$@" </dev/null >"$capture" 2>&1
    status=$?
    output=$(tr -d '\r' <"$capture")
    rm -f "$capture"
}

# stop_wineserver PREFIX: ends the prefix's wineserver and waits until it is gone, which is when
# it has written the prefix's registry files.
stop_wineserver() {
    WINEPREFIX=$1 wineserver -k >/dev/null 2>&1
    WINEPREFIX=$1 wineserver -w >/dev/null 2>&1
}

# fresh_prefix PREFIX: removes the prefix once its server has ended, so that the next program
# makes it anew (cmake/wine-run.sh).
fresh_prefix() {
    stop_wineserver "$1"
    rm -rf "$1"
}

# own_prefixes PREFIX...: for a driver with prefixes of its own, made anew, whose servers are
# ended at exit; $scratch is a folder for its files, removed at exit.
own_prefixes() {
    local prefix
    for prefix in "$@"; do fresh_prefix "$prefix"; done
    scratch=$(mktemp -d)
    own_prefix_list=("$@")
    trap 'rm -rf "$scratch"; for prefix in "${own_prefix_list[@]}"; do WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; done' EXIT
}

# run_windows, and then waits until the prefix's wineserver has ended, so that whatever the
# program left running has ended too: Wine's msiexec can return before its work is done. The
# prefix's lingering server ends first (it would never end by itself); the one that the program
# starts ends a second after the prefix's last program.
run_windows_to_the_end() {
    stop_wineserver "$VRK_PREFIX"
    VRK_WINESERVER_LINGER=1 run_windows "$@"
    local program_status=$status
    WINEPREFIX=$VRK_PREFIX wineserver -w
    status=$program_status
}

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

pass() {
    echo "ok:   $*"
}

# check_runs PROGRAM: reads rows "ARGUMENTS|STATUS|LINE|..." from stdin; PROGRAM run with
# ARGUMENTS (shell words) exits with STATUS and prints each LINE as a whole line, or, for a
# LINE "!TEXT", prints TEXT nowhere. A row "+COMMAND" runs the shell COMMAND between them (a
# step that changes the machine). $run, when set, runs PROGRAM instead of run_windows.
check_runs() {
    local name=${1##*[\\/]} words code lines line arguments expected wrong
    while IFS='|' read -r words code lines; do
        [ "${words:0:1}" != + ] || { eval "${words:1}"; continue; }
        eval "arguments=($words)"
        "${run:-run_windows}" "$1" "${arguments[@]}"
        wrong=()
        [ "$status" -eq "$code" ] || wrong+=("exit code $status, expected $code")
        IFS='|' read -r -a expected <<<"$lines"
        for line in "${expected[@]}"; do
            case $line in
                !*) ! grep -qF -- "${line#!}" <<<"$output" || wrong+=("printed '${line#!}'") ;;
                *) grep -qxF -- "$line" <<<"$output" || wrong+=("no line '$line'") ;;
            esac
        done
        if [ ${#wrong[@]} -eq 0 ]; then
            pass "$name $words: exit code $code${lines:+, $lines}"
        else
            fail "$name $words:"
            printf '      %s\n' "${wrong[@]}" "output:"
            printf '%s\n' "$output" | sed 's/^/        /'
        fi
    done
}

# expect_sample SAMPLE ARGUMENTS LINE...: runs a script sample (a Windows path) under cscript with
# ARGUMENTS (shell words) and expects from it exactly, for each of the two ProgIDs, "== PROGID"
# and LINE..., written as the VBScript sample prints them (the JScript sample names "new
# ActiveXObject" and the engine's code 0x800A01AD where VBScript names "CreateObject" and 429,
# and prints no source). A LINE that ends in "*" stands for any line that begins with the rest.
# The whole output, as cscript exits 0 even when a script fails to parse or stops half way.
expect_sample() {
    local sample=$1 words=$2 line i expected=() actual=()
    shift 2
    eval "run_windows cscript //nologo \"\$sample\" $words"
    for line in "== $progid" "$@" "== $versioned_progid" "$@"; do
        case $sample in
            *.js) [[ $line == "  source:"* ]] && continue
                line=${line/#CreateObject failed: 0x000001AD/new ActiveXObject failed: 0x800A01AD} ;;
        esac
        expected+=("$line")
    done
    mapfile -t actual <<<"$output"
    for i in "${!expected[@]}"; do
        line=${expected[i]}
        [[ $line == *'*' && ${actual[i]-} == "${line%'*'}"* ]] && expected[i]=${actual[i]}
    done
    if [ "$status" -eq 0 ] && [ "$(printf '%s\n' "${expected[@]}")" = "$output" ]; then
        pass "${sample##*\\} $words: its ${#expected[@]} lines"
    else
        fail "${sample##*\\} $words: exit code $status, expected 0 and the lines"
        printf '      %s\n' "${expected[@]}" "  but got:" "${actual[@]}"
    fi
}

# export_registry FILE: the whole registry as text in FILE,
# without the keys that Wine rewrites whenever its services start (device interface links,
# the current service control set's counter, the network adapters it finds, and the display
# adapters that each new wineserver registers again, under a new GUID and with the time of
# that start as their driver date; volatile on Windows as well).
export_registry() {
    local text=$1
    run_windows regedit /E "$(windows_path "$text.reg")"
    iconv -f UTF-16 -t UTF-8 "$text.reg" | tr -d '\r' | awk '
        /^\[/ { volatile = index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses") == 1 ||
                            index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent]") == 1 ||
                            $0 ~ /^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video(\]|\\)/ ||
                            index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\") == 1 ||
                            $0 ~ /^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows NT\\CurrentVersion\\NetworkCards/ }
        !volatile' >"$text"
    rm -f "$text.reg"
    [ -s "$text" ] || fail "regedit /E gave no export"
}

# expect_same FIRST SECOND WHAT: two registry exports (or lists of changes, or of files) are
# equal, line for line.
expect_same() {
    local first second
    first=$(cat "$1") second=$(cat "$2")
    if [ "$first" = "$second" ]; then
        pass "$3"
    else
        fail "$3: they differ (< first, > second):"
        diff <(printf '%s\n' "$first") <(printf '%s\n' "$second") | grep '^[<>]' | head -n 40 | sed 's/^/      /'
    fi
}

# An export as sorted lines that stand alone, one per key ("[KEY]") and one per value
# ("[KEY] NAME=DATA", continued hex data joined), so that two exports compare entry by entry.
registry_entries() {
    awk '/^\[/ { key = $0; print key; next }
        /^$/ { next }
        { entry = $0
          while (entry ~ /\\$/ && (getline continued) > 0) {
              sub(/\\$/, "", entry); sub(/^ +/, "", continued); entry = entry continued
          }
          print key " " entry }' "$1" | LC_ALL=C sort
}

# register_server DLL, unregister_server DLL, set_product_installed yes|no: each remembers for
# cleanup_prefix how to take back what it did.
register_server() {
    undo+=("regsvr32 /u /s '$(windows_path "$1")'")
    check_runs regsvr32 <<<"/s '$(windows_path "$1")'|0"
}
unregister_server() { check_runs regsvr32 <<<"/u /s '$(windows_path "$1")'|0"; }
set_product_installed() {
    [ "$1" = no ] || undo+=("reg delete '$product_key' /f")
    check_runs reg <<<"$([ "$1" = yes ] && echo add || echo delete) '$product_key' /f|0"
}

# add_simulator_users VRKSIM_EXE "DOMAIN USER [--disabled]"...: users in the substitute
# components' directory, which is removed again at cleanup when it was not there before.
add_simulator_users() {
    "$VRK_RUN" "$VRK_PREFIX" reg query "$simulator_settings_key" </dev/null >/dev/null 2>&1 ||
        undo+=("reg delete '$simulator_settings_key' /f")
    check_runs "$1" < <(shift && printf 'users add %s|0\n' "$@")
}

# cleanup_prefix: leaves the shared prefix as the driver found it, taking back what the
# helpers above did (undoing what is already undone fails quietly).
cleanup_prefix() {
    local command
    for command in "${undo[@]}"; do
        eval "\"\$VRK_RUN\" \"\$VRK_PREFIX\" $command" </dev/null >/dev/null 2>&1
    done
}

finish_checks() {
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" && exit 1; }
    echo "all checks passed"
    exit 0
}
