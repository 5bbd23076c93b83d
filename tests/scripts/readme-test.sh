#!/usr/bin/env bash
# The README against the sources: every variable the program or the scripts read, every CMake setting, log
# category and fuzz target is named in it, and its tables of categories and fuzz targets name nothing that is gone.
# Usage: readme-test.sh <source folder>
set -uo pipefail
cd "$1" || exit 2
readme=README.md
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Names in the first column of the README table whose header row starts with "| $1 |".
table() {
    awk -v header="| $1 |" '
        index($0, header) == 1 { inside = 1; next }
        inside && /^\|---/ { next }
        inside && /^\|/ { split($0, cells, "|"); gsub(/[ `]/, "", cells[2]); print cells[2]; next }
        inside { exit }' "$readme"
}

mentioned() {
    grep -qF "\`$1\`" "$readme"
}

sources=(tavrine globalshortcuts)

# Log categories: defined once each, and the README's table lists exactly those.
mapfile -t defined < <(grep -rhoE 'Q_LOGGING_CATEGORY\([A-Za-z_]+, "com\.dravolence\.tavrine\.[A-Za-z]+"' "${sources[@]}" |
    sed -E 's/.*tavrine\.([A-Za-z]+)"/\1/' | sort)
[ "${#defined[@]}" -gt 0 ] || fail "no log category found in the sources"
twice=$(printf '%s\n' "${defined[@]}" | uniq -d)
[ -z "$twice" ] || fail "log categories defined more than once: $twice"
listed=$(table category | sort)
[ "$(printf '%s\n' "${defined[@]}" | sort -u)" = "$listed" ] ||
    fail "the README's log categories differ from the sources': $(diff <(printf '%s\n' "${defined[@]}" | sort -u) - <<<"$listed" | grep '^[<>]' | tr '\n' ' ')"

# Fuzz targets: the README's table and scripts/fuzz's usage name exactly the targets that are built.
targets=$(sed -nE 's/^tavrine_fuzz_target\(([a-z_]+) .*/\1/p' fuzz/CMakeLists.txt | sort)
[ -n "$targets" ] || fail "no fuzz target found"
[ "$targets" = "$(table 'fuzz target' | sort)" ] || fail "the README's fuzz targets differ from fuzz/CMakeLists.txt"
for target in $targets; do
    grep -q "^#.*TARGET:.*\b$target\b" scripts/fuzz || fail "scripts/fuzz's usage does not name $target"
done

# Environment variables read by the program (by name, in quotes) and by the scripts, and the CMake settings.
program=$(grep -rhoE '"TAVRINE_[A-Z0-9_]+"' "${sources[@]}" | tr -d '"' | sort -u)
scripts=$(grep -rhoE '\$\{?TAVRINE_[A-Z0-9_]+' scripts | sed -E 's/^\$\{?//' | sort -u)
settings=$(grep -rhoE --include=CMakeLists.txt \
    'option\(TAVRINE_[A-Z0-9_]+|set\(TAVRINE_[A-Z0-9_]+ [^)]*CACHE' . | grep -oE 'TAVRINE_[A-Z0-9_]+' | sort -u)
[ -n "$program" ] && [ -n "$scripts" ] && [ -n "$settings" ] || fail "no variable or setting found"
for name in $program $scripts $settings; do
    mentioned "$name" || fail "the README does not name $name"
done

# Every TAVRINE_ name in the README exists somewhere else.
for name in $(grep -oE 'TAVRINE_[A-Z0-9_]+' "$readme" | sort -u); do
    grep -rqw --exclude="$readme" --exclude-dir=.git --exclude-dir=build "$name" . || fail "the README names $name, which nothing reads"
done

[ "$failures" -eq 0 ] && echo "README: $(wc -w <<<"$program $scripts $settings") variables and settings," \
    "${#defined[@]} log categories, $(wc -w <<<"$targets") fuzz targets"
exit "$failures"
