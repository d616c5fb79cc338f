#!/usr/bin/env bash
# Builds a release tree and runs the benchmarks; each prints its figures beside its baseline.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMPANYDESK_TESTS=OFF -DCOMPANYDESK_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
for bench in "$build"/bin/bench_*; do
    echo "== $(basename "$bench")"
    "$bench" "$@"
done
