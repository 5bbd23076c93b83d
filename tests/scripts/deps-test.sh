#!/usr/bin/env bash
# Runs scripts/deps with stand-ins for dpkg-query, apt-get and sudo first on PATH, and checks what it asks apt for.
# Usage: deps-test.sh <path of scripts/deps>
set -uo pipefail
deps=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin="$work/bin"
mkdir -p "$bin"
failures=0

check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}

# Reports every package installed except those named in $work/missing ("*" names them all).
cat >"$bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
package=${!#}
if grep -qx -e "$package" -e '\*' "$STUB_DIR/missing" 2>/dev/null; then
    echo "dpkg-query: no packages found matching $package" >&2
    exit 1
fi
printf 'install ok installed'
STUB
# Records its arguments, one call a line, and exits with the status in $work/apt-status (0 without it).
cat >"$bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"$STUB_DIR/apt-calls"
exit "$(cat "$STUB_DIR/apt-status" 2>/dev/null || echo 0)"
STUB
# Only reached when the test itself does not run as root.
cat >"$bin/sudo" <<'STUB'
#!/usr/bin/env bash
exec "$@"
STUB
chmod +x "$bin"/*
export STUB_DIR="$work"

run_deps() {
    rm -f "$work/apt-calls"
    PATH="$bin:$PATH" "$deps" "$@" >"$work/out" 2>"$work/err"
    status=$?
}

# Whether the text matches the extended regular expression.
matches() {
    [[ $1 =~ $2 ]]
}

# Whether the apt-get command line names the package (a word of its own).
asks_for() {
    [[ " $1 " == *" $2 "* ]]
}

not() {
    ! "$@"
}

calls() {
    cat "$work/apt-calls" 2>/dev/null
}

# Everything installed: apt is never asked.
: >"$work/missing"
run_deps run
check "all installed: status 0" [ "$status" -eq 0 ]
check "all installed: no apt-get call" [ -z "$(calls)" ]

# One package missing: the lists are updated, then that package alone is installed, each call told to wait for
# apt's lock.
echo qcoro-qt6-dev >"$work/missing"
run_deps run
check "one missing: status 0" [ "$status" -eq 0 ]
mapfile -t lines < <(calls)
check "one missing: two apt-get calls" [ "${#lines[@]}" -eq 2 ]
check "one missing: update first" matches "${lines[0]:-}" '(^| )update( |$)'
check "one missing: then install of that package only" \
    matches "${lines[1]:-}" '(^| )install .*--no-install-recommends qcoro-qt6-dev$'
for i in 0 1; do
    check "call $((i + 1)) waits for the lock" matches "${lines[$i]:-}" '^-o DPkg::Lock::Timeout=[1-9][0-9]* '
done
check "one missing: says what it installs" grep -q "installing qcoro-qt6-dev" "$work/err"

# Each purpose installs what it needs and nothing another purpose needs: a user who only runs Tavrine gets no
# browsers, test libraries or compilers for fuzzing. Rows: purposes | packages asked for | packages never asked for.
echo '*' >"$work/missing"
while IFS='|' read -r purposes wanted unwanted; do
    run_deps $purposes
    install=$(calls | grep -E '(^| )install ' || true)
    check "$purposes: status 0" [ "$status" -eq 0 ]
    for p in $wanted; do
        check "$purposes: installs $p" asks_for "$install" "$p"
    done
    for p in $unwanted; do
        check "$purposes: leaves out $p" not asks_for "$install" "$p"
    done
    check "$purposes: each package once" [ -z "$(tr ' ' '\n' <<<"$install" | sort | uniq -d)" ]
done <<'ROWS'
run|g++ qt6-declarative-dev qml6-module-qtwebengine tesseract-ocr-eng at-spi2-core librsvg2-bin|libgtest-dev firefox-esr chromium thunderbird stress-ng clang trayer pulseaudio dpkg-dev qml6-module-qtquick-dialogs qml6-module-qt-labs-folderlistmodel qml6-module-qtmultimedia qml6-module-qt5compat-graphicaleffects
package|g++ dpkg-dev file|libgtest-dev firefox-esr clang
test|g++ dpkg-dev libgtest-dev xvfb python3 firefox-esr chromium stress-ng desktop-file-utils|clang libclang-rt-14-dev
fuzz|g++ clang libclang-rt-14-dev|libgtest-dev firefox-esr dpkg-dev stress-ng
run fuzz test|g++ clang libgtest-dev|
ROWS

# No purpose, or one that does not exist, is a usage error before apt is asked anything.
for purposes in "" "run tests"; do
    run_deps $purposes
    check "purposes '$purposes': usage error" [ "$status" -eq 2 ]
    check "purposes '$purposes': no apt-get call" [ -z "$(calls)" ]
    check "purposes '$purposes': says how to call it" grep -q "usage: scripts/deps" "$work/err"
done

# apt failing still fails the script, with apt's status.
echo qcoro-qt6-dev >"$work/missing"
echo 100 >"$work/apt-status"
run_deps run
check "apt fails: its status comes through" [ "$status" -eq 100 ]
check "apt fails: nothing installed after the failed update" [ "$(calls | wc -l)" -eq 1 ]

[ "$failures" -eq 0 ]
