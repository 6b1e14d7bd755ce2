#!/usr/bin/env bash
# One architecture's CTest suite (KV_ARCH=x86|x64) on a private X server and Wine desktop; with
# --bench, the benchmarks instead. Further arguments go to ctest (e.g. -R e2e). Exit status: ctest's.
# tools/run-tests.sh calls this once per architecture.
set -uo pipefail
KV_ROOT=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--bench" ]; then KV_LOG_TAG=bench; else KV_LOG_TAG=suite; fi
. "$KV_ROOT/tools/wine-env.sh"

trap kv_bench_down EXIT
trap 'exit 130' INT TERM HUP

t0=$SECONDS
kv_bench_up || exit 1
kv_log "desktop up in $((SECONDS - t0)) s"

if [ "${1:-}" = "--bench" ]; then
    # The bench reads the server's CPU time from /proc: the one wineserver on our prefix.
    KV_WINESERVER_PID=$(kv_stale_server_pids | head -n1)
    # The idle bench adds up every process of the prefix, and the X server.
    KV_WINEPREFIX=$WINEPREFIX
    export KV_WINESERVER_PID KV_WINEPREFIX KV_XVFB_PID
    kv_log "wineserver pid ${KV_WINESERVER_PID:-unknown}; load $(cut -d' ' -f1-3 /proc/loadavg)"
    (cd "$KV_BUILD" && "$KV_WINE" "$KV_E2E_BIN/kv_e2e.exe" --bench "${@:2}" </dev/null)
    status=$?
else
    ctest --test-dir "$KV_BUILD" --output-on-failure "$@" </dev/null
    status=$?
fi
kv_log "done in $((SECONDS - t0)) s, status $status"
exit $status
