#!/usr/bin/env bash
# The real program loses its process in the middle of a session: killed with SIGKILL ("kill9"), or left without
# its X server ("xserver"). The next launch must show the session as ended early, with its stretches, and marked
# as Tavrine stopping unexpectedly. Each case runs on a desktop of its own (the X server is killed) against the
# fake of the maker's API; a session is stored only after a minute of use, so a case takes about two minutes.
# Usage: crash-recovery-test.sh <tavrine> <tavrine-fake-api> <x11-fixture.sh> <work folder> kill9|xserver
set -uo pipefail
tavrine=$1
fake_api=$2
fixture=$3
work=$4
how=$5

dir="$work/crash-$how"
rm -rf "$dir"
mkdir -p "$dir"/home/{config/dravolence,data,cache,runtime}
chmod 700 "$dir/home/runtime"
store="$dir/home/data/com.dravolence.tavrine/History.store"
pids=()

cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -9 "$pid" 2>/dev/null
    done
    "$fixture" stop "$dir/x11" >/dev/null 2>&1
}
trap cleanup EXIT

fail() {
    echo "FAIL ($how): $*" >&2
    for log in "$dir"/tavrine-*.log; do
        echo "--- $log" >&2
        tail -n 40 "$log" >&2
    done
    exit 1
}

# Evaluates the condition $2 once a second for at most $1 seconds.
within() {
    local i
    for ((i = 0; i < $1; i++)); do
        eval "$2" && return 0
        sleep 1
    done
    eval "$2"
}

query() {
    sqlite3 -readonly "$store" "$1" 2>/dev/null
}

start_desktop() {
    "$fixture" start "$dir/x11" >/dev/null || fail "the private desktop did not start"
    # shellcheck disable=SC1091
    . "$dir/x11/env"
    # Capture needs the desktop's accessibility switched on, as a user does in the onboarding.
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null ||
        fail "the accessibility bus did not take IsEnabled"
}

launch() {
    HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/config" XDG_DATA_HOME="$dir/home/data" \
        XDG_CACHE_HOME="$dir/home/cache" XDG_RUNTIME_DIR="$dir/home/runtime" \
        TAVRINE_API_BASE_URL="$api_url" TAVRINE_API_TOKEN=test-token QT_QPA_PLATFORM= \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        "$tavrine" >"$dir/tavrine-$1.log" 2>&1 &
    tavrine_pid=$!
    pids+=("$tavrine_pid")
}

main_window() {
    local window
    for window in $(xdotool search --onlyvisible --class com.dravolence.tavrine 2>/dev/null); do
        xprop -id "$window" WM_WINDOW_ROLE 2>/dev/null | grep -q '"focus"' && echo "$window" && return
    done
}

printf '[General]\nhasCompletedOnboarding=b:true\n' >"$dir/home/config/dravolence/tavrine.ini"
"$fake_api" >"$dir/api.out" 2>&1 &
pids+=($!)
within 20 'grep -q "^TAVRINE_API_BASE_URL=" "$dir/api.out"' || fail "the fake API did not start"
api_url=$(sed -n 's/^TAVRINE_API_BASE_URL=//p' "$dir/api.out")

start_desktop
xmessage -title "Crash report draft" "Writing down why the build broke" &
pids+=($!)
launch first
within 60 'test -n "$(main_window)"' || fail "the main window did not show"
window=$(main_window)
# Return in the blank intention field starts a focus-mode session.
xdotool windowactivate --sync "$window" && sleep 1
xdotool key Return
within 30 'test "$(query "SELECT count(*) FROM running_session")" = 1' || fail "no running session was written"
xdotool search --name "Crash report draft" windowactivate 2>/dev/null

# A minute of use is written at the latest a minute after the start; a little more makes a stretch of work.
used() {
    test "$(query 'SELECT focused_seconds >= 60 AND (SELECT count(*) FROM running_segment) > 0 FROM running_session')" = 1
}
within 150 used || fail "the running session never reached a minute with a stretch of work"

case "$how" in
kill9)
    kill -9 "$tavrine_pid"
    wait "$tavrine_pid" 2>/dev/null
    test "$(query 'SELECT count(*) FROM session')" = 0 || fail "a killed process cannot have stored the session"
    ;;
xserver)
    kill -9 "$(awk '$2 == "Xvfb" { print $1 }' "$dir/x11/pids")"
    gone() { [ -z "$(ps -o stat= -p "$tavrine_pid" | grep -v Z)" ]; }
    within 30 gone || fail "Tavrine outlived its X server"
    wait "$tavrine_pid"
    echo "Tavrine ended with status $? without its X server"
    # Stored on the way out, before any relaunch.
    test "$(query 'SELECT count(*) FROM unexpected_end')" = 1 || fail "the lost display did not store the session"
    grep -q "Tavrine is ending without a quit" "$dir/tavrine-first.log" || fail "the lost display was not logged"
    "$fixture" stop "$dir/x11" >/dev/null 2>&1
    start_desktop
    ;;
esac

launch again
within 60 'test "$(query "SELECT count(*) FROM session")" = 1' || fail "the relaunch did not store the session"
test "$(query 'SELECT count(*) FROM running_session')" = 0 || fail "the running record outlived the relaunch"
test "$(query 'SELECT completed FROM session')" = 0 || fail "the session is not stored as ended early"
test "$(query 'SELECT count(*) FROM unexpected_end')" = 1 || fail "the session is not marked as an unexpected stop"
test "$(query 'SELECT focused_seconds >= 60 FROM session')" = 1 || fail "the stored session lost its minute"
test "$(query 'SELECT count(*) FROM segment')" -ge 1 || fail "the session was stored without its stretches"
echo "ok ($how): $(query 'SELECT focused_seconds, (SELECT count(*) FROM segment) FROM session')"
