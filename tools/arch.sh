# Sourced helpers: which architectures this host runs. x86 is the product (build/, 32-bit Wine);
# x64 (build-x64/, wine64) runs on every x86-64 host, also where the kernel runs no 32-bit code.
# KV_ARCH=x86|x64 picks one; KV_X86_PROBE replaces the probe (KV_X86_PROBE=false acts as such a host).

KV_WINE32=/usr/lib/wine/wine
# Every log line says what is running (suite, bench, run) and on which architecture.
KV_LOG_TAG=${KV_LOG_TAG:-kestrova}
kv_log() { echo "[$KV_LOG_TAG${KV_ARCH:+ $KV_ARCH}] $*" >&2; }

# The one check of an architecture's name; the Makefile and wine-env.sh use it too.
kv_arch_name_ok() {
    case "$1" in
    x86 | x64) return 0 ;;
    esac
    echo "KV_ARCH must be x86 or x64, not '$1'" >&2
    return 1
}

# Why the x86 suite cannot run here; empty when it can.
kv_x86_unusable() {
    if [ ! -x "$KV_WINE32" ]; then
        echo "32-bit Wine is not installed (tools/install-deps.sh)"
    elif ! ${KV_X86_PROBE:-$KV_WINE32 --version} </dev/null >/dev/null 2>&1; then
        echo "this host cannot run 32-bit programs"
    fi
}

# KV_ARCH, when set, must name an architecture this host runs.
kv_check_arch() {
    local why=
    kv_arch_name_ok "$1" || return 1
    [ "$1" = x64 ] || why=$(kv_x86_unusable)
    [ -z "$why" ] || { echo "KV_ARCH=x86 cannot run: $why" >&2; return 1; }
}

# The one architecture for run and bench: KV_ARCH, else x86 where it runs, else x64.
kv_pick_arch() {
    local why
    if [ -n "${KV_ARCH:-}" ]; then
        kv_check_arch "$KV_ARCH" || return 1
        echo "$KV_ARCH"
        return 0
    fi
    why=$(kv_x86_unusable)
    if [ -z "$why" ]; then
        echo x86
    else
        echo "using x64: $why" >&2
        echo x64
    fi
}
