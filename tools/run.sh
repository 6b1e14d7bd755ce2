#!/usr/bin/env bash
# make run: Kestrova under Wine on $DISPLAY. Without a display: on a private desktop with a few
# helper windows, for a screenshot in build/screenshot.png. Arguments go to Kestrova.exe.
# The x86 build where the host runs 32-bit code, else x64 (build-x64/); KV_ARCH=x86|x64 picks one.
set -uo pipefail
KV_ROOT=$(cd "$(dirname "$0")/.." && pwd)
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

"$KV_WINE" "$KV_E2E_BIN/kv_helper.exe" \
    --title "表示テスト - メモ帳" --pos 40,40 --size 480x320 --pattern 1 \
    --window --title "設定ダイアログ" --pos 560,80 --size 360x260 --pattern 2 \
    --window --title "ブラウザ (最小化)" --pos 200,420 --size 520x360 --pattern 4 --minimized \
    </dev/null >/dev/null 2>&1 &

(cd "$KV_BUILD" && "$KV_WINE" "$APP" "$@" </dev/null >/dev/null 2>&1) &
"$KV_WINE" "$E2E" --wait-main 15000 </dev/null >/dev/null 2>&1 || { kv_log "Kestrova did not start"; exit 1; }
"$KV_WINE" "$E2E" --show-panel </dev/null >/dev/null 2>&1 || kv_log "the panel did not open"
# Thumbnails come one per second; give them time to settle before the picture.
sleep 8
SHOT=$KV_BUILD/screenshot.png
xwd -root -display "$DISPLAY" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$SHOT" 2>/dev/null
"$KV_WINE" "$E2E" --exit-running </dev/null >/dev/null 2>&1 || kv_log "Kestrova did not end by the tray's exit"
kv_log "screenshot: $SHOT"
