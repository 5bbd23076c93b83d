#!/usr/bin/env bash
# The X11 fixture's own processes (the session bus, openbox, the accessibility bus launcher) keep their home and
# XDG folders inside the fixture's folder. Usage: x11-fixture-home-test.sh <fixture folder>
set -uo pipefail
dir=$(cd "$1" && pwd)
failures=0
checked=0
while read -r pid name; do
    [ -r "/proc/$pid/environ" ] || continue
    checked=$((checked + 1))
    for variable in HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME; do
        value=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n "s/^$variable=//p")
        case "$value" in
        "$dir"/*) ;;
        *)
            echo "FAILED: $name (pid $pid) has $variable='$value', not under $dir" >&2
            failures=$((failures + 1))
            ;;
        esac
    done
done <"$dir/pids"
if [ "$checked" -eq 0 ]; then
    echo "FAILED: no running fixture process listed in $dir/pids" >&2
    exit 1
fi
echo "checked $checked fixture processes"
[ "$failures" -eq 0 ]
