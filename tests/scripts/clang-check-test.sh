#!/usr/bin/env bash
# scripts/clang-check on a small tree of its own: what clang refuses and GCC accepts fails it, in every source a
# clang build compiles, whether or not a precompiled header serves it; warnings, -Werror and other folders do not.
# Usage: clang-check-test.sh <path of scripts/clang-check>
set -uo pipefail
check=$1
command -v clang++ >/dev/null || { echo "no clang++: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts" "$work/tavrine" "$work/fuzz" "$work/tests" "$work/build"
cp "$check" "$work/scripts/clang-check"
failures=0

# A lambda that uses a structured binding: C++20, which GCC 12 accepts and clang 14 refuses.
binding='#include <utility>
int f() { const auto [a, b] = std::pair<int, int>(1, 2); return [&] { return a + b; }(); }'
plain='#include <QString>
int g() { return int(QString("x").size()); }'
warned='int h() { int unused = 0; return 0; }'

write() { printf '%s\n' "$2" >"$work/$1"; }
# compile_commands.json of the named sources, with the GCC build's kind of flags.
commands() {
    local first=1
    echo "["
    for file in "$@"; do
        [ $first -eq 1 ] || echo ","
        first=0
        printf '{"directory": "%s", "file": "%s", "command": "/usr/bin/c++ -isystem /usr/include/x86_64-linux-gnu/qt6 -isystem /usr/include/x86_64-linux-gnu/qt6/QtCore -g -fsanitize=address -Wall -Wextra -Werror -fPIC -std=c++20 -o %s.o -c %s"}' \
            "$work/build" "$work/$file" "$file" "$work/$file"
    done
    echo "]"
}

row() {
    local name=$1 expected=$2
    shift 2
    commands "$@" >"$work/build/compile_commands.json"
    "$work/scripts/clang-check" "$work/build" 2 >"$work/out" 2>&1
    local status=$?
    if [ "$status" -eq "$expected" ] && { [ "$expected" -eq 0 ] || grep -q "refused 1 of" "$work/out"; }; then
        echo "ok: $name"
    else
        echo "FAILED: $name (status $status, expected $expected)" >&2
        cat "$work/out" >&2
        failures=$((failures + 1))
    fi
}

write tavrine/binding.cpp "$binding"
write tavrine/plain.cpp "$plain"
write tavrine/plain2.cpp "$plain"
write tavrine/plain3.cpp "$plain"
write tavrine/warned.cpp "$warned"
write fuzz/binding.cpp "$binding"
write tests/binding.cpp "$binding"

row "a structured binding used by a lambda" 1 tavrine/binding.cpp
row "the same in a fuzz target" 1 fuzz/binding.cpp
row "the same among sources that share a precompiled header" 1 tavrine/plain.cpp tavrine/plain2.cpp tavrine/binding.cpp tavrine/plain3.cpp
row "sources clang accepts" 0 tavrine/plain.cpp tavrine/plain2.cpp tavrine/plain3.cpp
row "a warning under -Werror" 0 tavrine/warned.cpp
row "a folder no clang build compiles" 0 tests/binding.cpp tavrine/plain.cpp

[ "$failures" -eq 0 ] || exit 1
