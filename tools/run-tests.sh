#!/usr/bin/env bash
# Runs the CTest suite once per architecture this host runs: x86 (build/) where it executes 32-bit
# code, then x64 (build-x64/) always; with --bench, the benchmarks on one architecture (x86 where it
# runs, else x64). KV_ARCH=x86|x64 runs that one only. Further arguments go to ctest (e.g. -R e2e).
# Exit status: 0 when every suite that ran passed, else the first failure's.
set -uo pipefail
KV_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$KV_ROOT/tools/arch.sh"

trap 'exit 130' INT TERM HUP

what=suite
if [ "${1:-}" = "--bench" ]; then
    what=bench
    arches=$(kv_pick_arch) || exit 1
elif [ -n "${KV_ARCH:-}" ]; then
    kv_check_arch "$KV_ARCH" || exit 1
    arches=$KV_ARCH
else
    why=$(kv_x86_unusable)
    if [ -z "$why" ]; then
        arches="x86 x64"
    else
        echo "x86 suite skipped: $why"
        arches=x64
    fi
fi

status=0
results=()
for arch in $arches; do
    t0=$SECONDS
    KV_ARCH=$arch "$KV_ROOT/tools/run-suite.sh" "$@"
    s=$?
    if [ $s -eq 0 ]; then
        results+=("$arch $what passed in $((SECONDS - t0)) s")
    else
        results+=("$arch $what FAILED (status $s) in $((SECONDS - t0)) s")
        [ $status -ne 0 ] || status=$s
    fi
    [ $s -ne 130 ] || break
done
printf '%s\n' "${results[@]}"
exit $status
