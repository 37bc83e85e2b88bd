# client-test-lib.sh: helpers for the drivers that run clients of the server under Wine.
# A driver sets VRK_RUN (cmake/wine-run.sh) and VRK_PREFIX (the test prefix), sources this
# file, runs its checks and ends with finish_checks. Checks record a failure and go on, so
# that one run shows every broken expectation.

failures=0
output=""
status=0
registered_dlls=()
product_key_created=0
simulator_settings_created=0
product_key=$("$(dirname "${BASH_SOURCE[0]}")/../../scripts/product-key.sh") || exit 1
readonly product_key
readonly simulator_settings_key='HKLM\SOFTWARE\VEYRAK Corporation\VRKSolutionSimulator'

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

# The architecture of a Windows program, x86 or x64, from the machine field of its PE header.
pe_architecture() {
    local header machine
    header=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
    machine=$(od -An -tx2 -j $((header + 4)) -N 2 "$1" | tr -d ' ')
    case $machine in
        014c) echo x86 ;;
        8664) echo x64 ;;
        *) echo "unknown machine $machine" ;;
    esac
}

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

pass() {
    echo "ok:   $*"
}

# expect_status CODE WHAT: the last program exited with CODE.
expect_status() {
    if [ "$status" -eq "$1" ]; then
        pass "$2 (exit code $1)"
    else
        fail "$2: expected exit code $1, got $status; output:"
        printf '%s\n' "$output" | sed 's/^/      /'
    fi
}

# Checks of the last program's output, each by one grep over its lines:
#   expect_line TEXT WHAT            TEXT is a whole line
#   expect_line_matching REGEX WHAT  a whole line matches the extended REGEX
#   expect_no_text TEXT WHAT         TEXT appears nowhere
#   expect_lines WHAT TEXT...        each TEXT is a whole line
expect_output() {
    local found=yes wanted=$1 options=$2 pattern=$3 what=$4
    printf '%s\n' "$output" | grep -q "$options" -- "$pattern" || found=no
    if [ "$found" = "$wanted" ]; then
        pass "$what ($([ "$wanted" = yes ] && echo printed || echo "no") '$pattern')"
    else
        fail "$what: expected $([ "$wanted" = yes ] || echo "no ")'$pattern'; output:"
        printf '%s\n' "$output" | sed 's/^/      /'
    fi
}
expect_line() { expect_output yes -xF "$1" "$2"; }
expect_line_matching() { expect_output yes -xE "$1" "$2"; }
expect_no_text() { expect_output no -F "$1" "$2"; }
expect_lines() {
    local what=$1 line
    shift
    for line in "$@"; do expect_line "$line" "$what"; done
}

# export_registry FILE [ROOT]: the whole registry, or the tree under ROOT, as text in FILE,
# without the keys that Wine rewrites whenever its services start (device interface links,
# the current service control set's counter, the network adapters it finds, and the display
# adapters that each new wineserver registers again, under a new GUID and with the time of
# that start as their driver date; volatile on Windows as well).
export_registry() {
    local text=$1 root=${2:-}
    run_windows regedit /E "$(windows_path "$text.reg")" ${root:+"$root"}
    iconv -f UTF-16 -t UTF-8 "$text.reg" | tr -d '\r' | awk '
        /^\[/ { volatile = index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses") == 1 ||
                            index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent]") == 1 ||
                            $0 ~ /^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video(\]|\\)/ ||
                            index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\") == 1 ||
                            $0 ~ /^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows NT\\CurrentVersion\\NetworkCards/ }
        !volatile' >"$text"
    rm -f "$text.reg"
    [ -s "$text" ] || fail "regedit /E gave no export (${root:-the whole registry})"
}

# The first lines that differ between two exports.
registry_differences() {
    diff "$1" "$2" | grep '^[<>]' | head -n 40 |
        while IFS= read -r line; do printf '      %s\n' "$line"; done
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

# Registers a server DLL with regsvr32 and remembers it for cleanup.
register_server() {
    registered_dlls+=("$1")
    run_windows regsvr32 /s "$(windows_path "$1")"
    expect_status 0 "regsvr32 $(basename "$1")"
}

unregister_server() {
    run_windows regsvr32 /u /s "$(windows_path "$1")"
    expect_status 0 "regsvr32 /u $(basename "$1")"
}

set_product_installed() {
    if [ "$1" = yes ]; then
        product_key_created=1
        run_windows reg add "$product_key" /f
        expect_status 0 "reg add product key"
    else
        run_windows reg delete "$product_key" /f
        expect_status 0 "reg delete product key"
        product_key_created=0
    fi
}

# Puts users into the substitute components' directory with vrksim.exe:
#   add_simulator_users VRKSIM_EXE "DOMAIN USER [--disabled]"...
# The directory is removed again at cleanup when it was not there before.
add_simulator_users() {
    local vrksim=$1 user
    shift
    if ! "$VRK_RUN" "$VRK_PREFIX" reg query "$simulator_settings_key" </dev/null >/dev/null 2>&1; then
        simulator_settings_created=1
    fi
    for user in "$@"; do
        # shellcheck disable=SC2086 # the words of one user line are separate arguments
        run_windows "$vrksim" users add $user
        expect_status 0 "vrksim users add $user"
    done
}

# Leaves the shared prefix as we found it: no server registered, no product key, no
# simulator directory that we made.
cleanup_prefix() {
    local dll
    for dll in "${registered_dlls[@]}"; do
        "$VRK_RUN" "$VRK_PREFIX" regsvr32 /u /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1
    done
    if [ "$simulator_settings_created" -eq 1 ]; then
        "$VRK_RUN" "$VRK_PREFIX" reg delete "$simulator_settings_key" /f </dev/null >/dev/null 2>&1
    fi
    if [ "$product_key_created" -eq 1 ]; then
        "$VRK_RUN" "$VRK_PREFIX" reg delete "$product_key" /f </dev/null >/dev/null 2>&1
    fi
}

finish_checks() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}
