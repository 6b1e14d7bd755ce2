# Sourced helpers: a private Xvfb, the build's own Wine prefix and its virtual desktop.
# The caller sets KV_ROOT and KV_ARCH (x86 or x64), calls kv_bench_up and installs `trap kv_bench_down EXIT`.

declare -F kv_arch_name_ok >/dev/null || . "$KV_ROOT/tools/arch.sh"
KV_ARCH=${KV_ARCH:-x86}
kv_arch_name_ok "$KV_ARCH" || exit 1
case "$KV_ARCH" in
x86)
    KV_BUILD=$KV_ROOT/build
    KV_WINE=wine
    unset WINELOADER
    export WINEARCH=win32
    ;;
x64)
    # Debian's wine script always picks the 32-bit loader when it is installed.
    KV_BUILD=$KV_ROOT/build-x64
    KV_WINE=/usr/lib/wine/wine64
    export WINELOADER=$KV_WINE
    export WINEARCH=win64
    ;;
esac
KV_E2E_BIN=$KV_BUILD/tests/e2e
export WINEPREFIX=$KV_BUILD/wineprefix
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
# Wine takes the ANSI code page from the locale: ja_JP gives 932.
export LC_ALL=ja_JP.UTF-8

KV_PREFIX_STAMP=$WINEPREFIX/.kv-prefix-v2
KV_XVFB_PID=
KV_HOLDER_PID=
KV_SERVER_STARTED=
KV_LOCK_FILE=


kv_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null)
    [ -n "$state" ] && [ "${state:0:1}" != Z ]
}

# One bench per prefix: two wineservers on one prefix would share one desktop.
# The lock file holds the owner's pid and its Xvfb's, so a killed run's X server can be stopped.
kv_lock_prefix() {
    local owner= xvfb=
    mkdir -p "$KV_BUILD"
    read -r owner xvfb 2>/dev/null <"$KV_BUILD/.bench.pid"
    if [ -n "$owner" ] && [ "$owner" != $$ ] && kv_alive "$owner"; then
        kv_log "process $owner is using $WINEPREFIX"
        return 1
    fi
    if [ -n "$xvfb" ] && [ "$(cat "/proc/$xvfb/comm" 2>/dev/null)" = Xvfb ]; then
        kv_log "stopping Xvfb $xvfb of a killed run"
        kill "$xvfb"
    fi
    KV_LOCK_FILE=$KV_BUILD/.bench.pid
    echo $$ >"$KV_LOCK_FILE"
}

kv_start_xvfb() {
    local fdfile=$KV_BUILD/.xvfb-display.$$ deadline=$((SECONDS + 20))
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$fdfile" </dev/null >/dev/null 2>&1 &
    KV_XVFB_PID=$!
    until grep -q '^[0-9][0-9]*$' "$fdfile" 2>/dev/null; do
        if ! kill -0 "$KV_XVFB_PID" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
            kv_log "Xvfb did not come up"
            rm -f "$fdfile"
            return 1
        fi
        sleep 0.05
    done
    export DISPLAY=:$(head -n1 "$fdfile")
    rm -f "$fdfile"
    echo "$$ $KV_XVFB_PID" >"$KV_LOCK_FILE"
    kv_log "Xvfb on $DISPLAY (pid $KV_XVFB_PID)"
}

# A wineserver left on our prefix by a killed run (its desktop sits on a dead display).
# The server works in a folder named after the prefix's device and inode.
kv_stale_server_pids() {
    [ -d "$WINEPREFIX" ] || return 0
    local name pid cwd
    name=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for pid in $(pgrep '^wineserver'); do
        cwd=$(readlink "/proc/$pid/cwd" 2>/dev/null)
        [ "${cwd##*/}" = "$name" ] && echo "$pid"
    done
}

kv_wine() { timeout 120 "$KV_WINE" "$@" </dev/null >/dev/null 2>&1; }

kv_reg_dword() { kv_wine reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f; }
kv_reg_sz() { kv_wine reg add "$1" /v "$2" /t REG_SZ /d "$3" /f; }

kv_prefix_init() {
    [ -f "$KV_PREFIX_STAMP" ] && return 0
    local t0=$SECONDS
    kv_log "creating Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    kv_wine wineboot -i
    kv_reg_sz 'HKCU\Software\Wine\Explorer' Desktop Default
    kv_reg_sz 'HKCU\Software\Wine\Explorer\Desktops' Default 1280x1024
    # Explorer reads EnableShell from the key named after the desktop.
    kv_reg_dword 'HKCU\Software\Wine\Explorer\Desktops\Default' EnableShell 1
    kv_reg_sz 'HKCU\Software\Wine\Fonts\Replacements' 'ＭＳ Ｐゴシック' IPAPGothic
    kv_reg_sz 'HKCU\Software\Wine\Fonts\Replacements' 'ＭＳ ゴシック' IPAGothic
    timeout 60 wineserver -w
    touch "$KV_PREFIX_STAMP"
    kv_log "prefix ready in $((SECONDS - t0)) s"
}

kv_stop_stale_server() {
    local pids
    pids=$(kv_stale_server_pids)
    [ -n "$pids" ] || return 0
    kv_log "stopping stale wineserver $pids on $WINEPREFIX"
    # -k: the server ends its programs, then itself.
    wineserver -k </dev/null >/dev/null 2>&1
    timeout 10 wineserver -w </dev/null >/dev/null 2>&1
}

kv_start_wine() {
    wineserver -p </dev/null >/dev/null 2>&1
    kv_wine wineboot
    # Explorer leaves a second after the last Wine program; the holder keeps it.
    "$KV_WINE" "$KV_E2E_BIN/kv_helper.exe" --hold </dev/null >/dev/null 2>&1 &
    KV_HOLDER_PID=$!
}

# The e2e tests need the 1280x1024 desktop with its taskbar: work area 0,0,1280,1004.
kv_wait_desktop() {
    local want="screen=1280x1024 workarea=0,0,1280,1004 taskbar=1 acp=932"
    local out=$KV_BUILD/.desktop-info deadline=$((SECONDS + 30)) got=
    while [ $SECONDS -lt $deadline ]; do
        timeout 20 "$KV_WINE" "$KV_E2E_BIN/kv_e2e.exe" --desktop-info </dev/null >"$out" 2>/dev/null
        got=$(tr -d '\r' <"$out")
        [ "$got" = "$want" ] && { kv_log "desktop: $got"; return 0; }
        sleep 0.2
    done
    kv_log "desktop not ready: got '$got', want '$want'"
    return 1
}

kv_bench_up() {
    for f in kv_helper.exe kv_e2e.exe; do
        [ -f "$KV_E2E_BIN/$f" ] || { kv_log "missing $KV_E2E_BIN/$f: build first"; return 1; }
    done
    kv_lock_prefix || return 1
    kv_start_xvfb || return 1
    kv_stop_stale_server
    # From here on every wineserver on the prefix is ours.
    KV_SERVER_STARTED=1
    kv_prefix_init || return 1
    kv_start_wine || return 1
    kv_wait_desktop
}

kv_bench_down() {
    # A second Ctrl+C must not cut the clean-up short.
    trap '' INT TERM HUP
    # The holder first: a holder still starting up would boot a fresh server after -k.
    if [ -n "$KV_HOLDER_PID" ]; then
        kill "$KV_HOLDER_PID" 2>/dev/null
        wait "$KV_HOLDER_PID" 2>/dev/null
        KV_HOLDER_PID=
    fi
    if [ -n "$KV_SERVER_STARTED" ]; then
        wineserver -k </dev/null >/dev/null 2>&1
        timeout 10 wineserver -w </dev/null >/dev/null 2>&1
        KV_SERVER_STARTED=
    fi
    if [ -n "$KV_XVFB_PID" ]; then
        kill "$KV_XVFB_PID" 2>/dev/null
        wait "$KV_XVFB_PID" 2>/dev/null
        KV_XVFB_PID=
    fi
    if [ -n "$KV_LOCK_FILE" ]; then
        rm -f "$KV_LOCK_FILE"
        KV_LOCK_FILE=
    fi
}
