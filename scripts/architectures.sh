# architectures.sh: which of the two build trees' programs this machine can run, decided
# by running a program of each kind, not by reading the kernel's name. Sourced by the scripts.
#   can_run_architecture x86|x64   status 0 when it runs; otherwise the reason in $cannot_run_reason

# The loader that Wine uses for each architecture's Windows programs.
wine_loader_of() {
    case $1 in
        x86) echo /usr/lib/wine/wine ;;
        x64) echo /usr/lib/wine/wine64 ;;
    esac
}

cannot_run_reason=""
can_run_architecture() {
    local loader message
    loader=$(wine_loader_of "$1")
    if [ ! -x "$loader" ]; then
        cannot_run_reason="$loader is not installed"
        return 1
    fi
    # The loader is itself a Linux program of the same width as the Windows programs it runs.
    if ! message=$("$loader" --version 2>&1); then
        if printf '%s' "$message" | grep -q 'Exec format error'; then
            message="$loader: Exec format error"
        fi
        cannot_run_reason="this machine cannot execute $1 programs ($(printf '%s' "$message" | head -n 1))"
        return 1
    fi
    return 0
}
