#!/usr/bin/env bash
# Builds the programs, lays out a fresh demo application folder and starts the launcher from it, or the
# maintenance tool when the first argument is "vaultkeep".
set -euo pipefail
program=companydesk
case "${1:-}" in
    "" | companydesk) ;;
    vaultkeep) program=vaultkeep ;;
    *) echo "usage: $0 [companydesk | vaultkeep]" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"

build="$root/build-release"
demo="$root/out/demo"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMPANYDESK_TESTS=OFF -DCOMPANYDESK_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

# The demo folder is made anew at every run, so it always starts from the same data.
rm -rf "$demo"
cmake --install "$build" --prefix "$demo" >/dev/null
"$demo/mkappfolder" --companies 5 "$demo"
echo "Demo application folder: $demo"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): $program needs a desktop session to show its windows." >&2
    exit 1
fi
exec "$demo/$program"
