#!/usr/bin/env bash
# A private X server for the tests labelled "x11": Xvfb with openbox, its own D-Bus session bus
# and accessibility bus. Usage: x11-fixture.sh start|stop <dir> | exec <dir> <command...>
set -uo pipefail
action=$1
dir=$2
shift 2
env_file="$dir/env"

stop() {
    if [ -f "$dir/pids" ]; then
        # shellcheck disable=SC2046
        kill $(cat "$dir/pids") 2>/dev/null || true
        rm -f "$dir/pids"
    fi
}

case "$action" in
start)
    stop
    mkdir -p "$dir"
    rm -f "$env_file"
    exec 3<> "$dir/displayfd"
    Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp +extension Composite +extension RANDR \
        >"$dir/xvfb.log" 2>&1 &
    echo $! >> "$dir/pids"
    for _ in $(seq 100); do
        display=$(head -n1 "$dir/displayfd" 2>/dev/null | tr -d '[:space:]')
        [ -n "$display" ] && break
        sleep 0.05
    done
    exec 3>&-
    if [ -z "${display:-}" ]; then
        echo "x11-fixture: Xvfb did not start" >&2
        cat "$dir/xvfb.log" >&2
        exit 1
    fi
    export DISPLAY=":$display"
    runtime="$dir/runtime"
    mkdir -p "$runtime"
    chmod 700 "$runtime"
    export XDG_RUNTIME_DIR="$runtime"
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 --nopidfile 2>"$dir/dbus.log")
    address=$(echo "$bus" | sed -n 1p)
    echo "$bus" | sed -n 2p >> "$dir/pids"
    export DBUS_SESSION_BUS_ADDRESS="$address"
    openbox >"$dir/openbox.log" 2>&1 &
    echo $! >> "$dir/pids"
    launcher=/usr/libexec/at-spi-bus-launcher
    if [ -x "$launcher" ]; then
        # Tests turn the desktop's accessibility on; the in-memory settings keep that out of the user's dconf.
        GSETTINGS_BACKEND=memory "$launcher" >"$dir/atspi.log" 2>&1 &
        echo $! >> "$dir/pids"
    fi
    # The window manager must own the screen before tests ask it to activate windows.
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.05
    done
    {
        echo "export DISPLAY='$DISPLAY'"
        echo "export DBUS_SESSION_BUS_ADDRESS='$address'"
        echo "export TAVRINE_TEST_XDG_RUNTIME_DIR='$runtime'"
    } > "$env_file"
    ;;
stop)
    stop
    ;;
exec)
    if [ ! -f "$env_file" ]; then
        echo "x11-fixture: no X server; run the x11.start test first" >&2
        exit 1
    fi
    # shellcheck disable=SC1090
    . "$env_file"
    unset QT_QPA_PLATFORM
    exec "$@"
    ;;
*)
    echo "usage: $0 start|stop <dir> | exec <dir> <command...>" >&2
    exit 2
    ;;
esac
