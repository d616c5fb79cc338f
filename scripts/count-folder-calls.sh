#!/usr/bin/env bash
# Counts the file-system calls the launcher makes on its application folder (master, data-link files,
# CompanyData and below) for each of its steps: start-up to the login window, the chooser, one add, a
# login. The folder is laid out by mkappfolder with the given number of companies.
#
#   scripts/count-folder-calls.sh [COMPANIES] [BUILD]     (defaults: 1 and build-bench)
#
# A call counts when one of its paths lies in the folder or its descriptor is open on a file there
# (strace -y); the totals of every system call of the whole run, as strace -c -f gives them, follow.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --with-trace-tools
companies=${1:-1}
build=${2:-$root/build-bench}
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMPANYDESK_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target launcher_steps mkappfolder >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app="$work/app"
"$build/bin/mkappfolder" --companies "$companies" "$app" >/dev/null
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
strace -f -qq -y -o "$work/trace" "$build/bin/launcher_steps" "$app" >/dev/null 2>&1

echo "companies: $companies; calls on $app by step:"
awk -v folder="$app" '
    /write\(-1, "== / { match($0, /"== [a-z]+/); step = substr($0, RSTART + 4, RLENGTH - 4); next }
    step != "" && step != "end" && index($0, folder) {
        line = $0
        sub(/^[0-9]+ +/, "", line)
        name = substr(line, 1, index(line, "(") - 1)
        if (name == "" || name ~ /^</) next
        count[step] += 1
        calls[step, name] += 1
    }
    END {
        n = split("start chooser add login", order, " ")
        for (i = 1; i <= n; ++i) {
            s = order[i]
            text = ""
            for (key in calls) {
                split(key, part, SUBSEP)
                if (part[1] == s) text = text sprintf(" %s %d,", part[2], calls[key])
            }
            printf "  %-8s %6d  (%s)\n", s, count[s], substr(text, 2, length(text) - 2)
        }
    }' "$work/trace"

echo "every system call of a whole run of the four steps, anywhere (strace -c -f), total line:"
strace -c -f -o "$work/summary" "$build/bin/launcher_steps" "$app" >/dev/null 2>&1
tail -n 1 "$work/summary"
