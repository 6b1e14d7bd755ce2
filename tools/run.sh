#!/usr/bin/env bash
# make run: Kestrova under Wine on $DISPLAY. Without a display: on a private desktop with a few
# helper windows, for a screenshot in build/screenshot.png. Arguments go to Kestrova.exe.
# The x86 build where the host runs 32-bit code, else x64 (build-x64/); KV_ARCH=x86|x64 picks one.
set -uo pipefail
KV_ROOT=$(cd "$(dirname "$0")/.." && pwd)
KV_LOG_TAG=run
. "$KV_ROOT/tools/arch.sh"
KV_ARCH=$(kv_pick_arch) || exit 1
. "$KV_ROOT/tools/wine-env.sh"

APP=$KV_BUILD/Kestrova.exe
E2E=$KV_E2E_BIN/kv_e2e.exe
[ -f "$APP" ] || { kv_log "missing $APP: build first"; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
    kv_lock_prefix || exit 1
    trap 'rm -f "$KV_LOCK_FILE"' EXIT
    kv_prefix_init || exit 1
    "$KV_WINE" "$APP" "$@"
    exit $?
fi

trap kv_bench_down EXIT
trap 'exit 130' INT TERM HUP
kv_bench_up || exit 1

# Clear of the strip, which runs down the left edge (x 20 to 180), and of the panel's corner.
FRONT_TITLE="表示テスト - メモ帳"
"$KV_WINE" "$KV_E2E_BIN/kv_helper.exe" \
    --title "$FRONT_TITLE" --pos 240,60 --size 480x320 --pattern 1 \
    --window --title "設定ダイアログ" --pos 760,60 --size 360x260 --pattern 2 \
    --window --title "ブラウザ (最小化)" --pos 240,440 --size 520x360 --pattern 4 --minimized \
    </dev/null >/dev/null 2>&1 &

(cd "$KV_BUILD" && "$KV_WINE" "$APP" "$@" </dev/null >/dev/null 2>&1) &
"$KV_WINE" "$E2E" --wait-main 15000 </dev/null >/dev/null 2>&1 || { kv_log "Kestrova did not start"; exit 1; }
# One thumbnail a second, one per helper window.
"$KV_WINE" "$E2E" --wait-thumbnails 3 30000 </dev/null >/dev/null 2>&1 || kv_log "not every thumbnail came"
"$KV_WINE" "$E2E" --show-panel </dev/null >/dev/null 2>&1 || kv_log "the panel did not open"
# Under Wine only the foreground window's thumbnail shows its picture: leave one helper in front.
"$KV_WINE" "$E2E" --front "$FRONT_TITLE" 1 15000 </dev/null >/dev/null 2>&1 ||
    kv_log "the front helper's thumbnail does not show its picture"
SHOT=$KV_BUILD/screenshot.png
xwd -root -display "$DISPLAY" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$SHOT" 2>/dev/null
"$KV_WINE" "$E2E" --exit-running </dev/null >/dev/null 2>&1 || kv_log "Kestrova did not end by the tray's exit"
kv_log "screenshot: $SHOT"
