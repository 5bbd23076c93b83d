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

# Reports every package installed except those named in $work/missing.
cat >"$bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
package=${!#}
if grep -qx "$package" "$STUB_DIR/missing" 2>/dev/null; then
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
    PATH="$bin:$PATH" "$deps" >"$work/out" 2>"$work/err"
    status=$?
}

# Whether the text matches the extended regular expression.
matches() {
    [[ $1 =~ $2 ]]
}

calls() {
    cat "$work/apt-calls" 2>/dev/null
}

# Everything installed: apt is never asked.
: >"$work/missing"
run_deps
check "all installed: status 0" [ "$status" -eq 0 ]
check "all installed: no apt-get call" [ -z "$(calls)" ]

# One package missing: the lists are updated, then that package alone is installed, each call told to wait for
# apt's lock.
echo qcoro-qt6-dev >"$work/missing"
run_deps
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

# apt failing still fails the script, with apt's status.
echo 100 >"$work/apt-status"
run_deps
check "apt fails: its status comes through" [ "$status" -eq 100 ]
check "apt fails: nothing installed after the failed update" [ "$(calls | wc -l)" -eq 1 ]

[ "$failures" -eq 0 ]
