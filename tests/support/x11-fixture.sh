#!/usr/bin/env bash
# A private X server for the tests labelled "x11": Xvfb with openbox, its own D-Bus session bus
# and accessibility bus, and a tray host (trayer) at the top of the screen: at the bottom with "bottomtray", none
# with "notray".
# Usage: x11-fixture.sh start <dir> [notray|bottomtray] | stop <dir> | exec <dir> <command...>
#
# "start" fails, with the logs printed, when the server or the window manager does not come up, so that a broken
# desktop shows as one clear failure instead of every test failing on its own. The limits on real time are
# generous: the tests run on busy two-core machines under a sanitizer.
set -uo pipefail
action=$1
dir=$2
shift 2
tray=yes
edge=top
if [ "$action" = start ] && [ "${1:-}" = notray ]; then
    tray=no
elif [ "$action" = start ] && [ "${1:-}" = bottomtray ]; then
    edge=bottom
fi
env_file="$dir/env"
pid_file="$dir/pids"
limit=${TAVRINE_X11_START_SECONDS:-30}

# Ends the processes an earlier start recorded. A pid is only signalled while it still runs the program it was
# recorded for: after a run that ended abnormally the number may belong to someone else's process by now.
stop() {
    if [ -f "$pid_file" ]; then
        local pid name
        while read -r pid name; do
            [ -n "$pid" ] || continue
            if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "${name:0:15}" ]; then
                kill "$pid" 2>/dev/null || true
            fi
        done <"$pid_file"
        rm -f "$pid_file"
    fi
}

record() {
    echo "$1 $2" >>"$pid_file"
}

print_logs() {
    local log
    for log in xvfb-first xvfb dbus openbox atspi trayer; do
        if [ -s "$dir/$log.log" ]; then
            echo "--- $log.log" >&2
            cat "$dir/$log.log" >&2
        fi
    done
}

fail() {
    echo "x11-fixture: $*" >&2
    print_logs
    stop
    rm -f "$env_file"
    exit 1
}

# Runs `command` until it succeeds, at most `seconds` of real time; answers whether it did.
poll() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

alive() {
    kill -0 "$1" 2>/dev/null
}

# Xvfb writes its display number and a newline once it accepts connections; `read` succeeds only on a whole line.
display_number() {
    IFS= read -r display <"$dir/displayfd" && [ -n "$display" ]
}

display_reported() {
    display_number || ! alive "$xvfb"
}

# The server answers a client that connects and reads the screen.
server_answers() {
    alive "$xvfb" && timeout 10 xdpyinfo >/dev/null 2>&1
}

# Starts Xvfb on a display number it picks itself (-displayfd: concurrent servers of other builds never collide,
# the abstract socket decides) and waits until it answers. -noreset: the probe's disconnect must not reset it.
start_server() {
    # A fresh file: a number left from an earlier run would otherwise be read before the server writes its own.
    rm -f "$dir/displayfd"
    exec 3>"$dir/displayfd"
    # A cookie of its own: a client of another test run that names this display by mistake is refused instead of
    # putting its windows among ours. The server takes every cookie in the file, whatever display it names.
    : >"$XAUTHORITY"
    xauth -q -f "$XAUTHORITY" add :0 . "$cookie"
    Xvfb -displayfd 3 -auth "$XAUTHORITY" -noreset -screen 0 1920x1200x24 -nolisten tcp \
        +extension Composite +extension RANDR >"$dir/xvfb.log" 2>&1 &
    xvfb=$!
    exec 3>&-
    record "$xvfb" Xvfb
    display=""
    if ! poll "$limit" display_reported || ! display_number; then
        echo "x11-fixture: Xvfb (pid $xvfb) did not report a display" >&2
        return 1
    fi
    export DISPLAY=":$display"
    xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"
    if ! poll "$limit" server_answers; then
        echo "x11-fixture: Xvfb (pid $xvfb) on $DISPLAY does not answer" >&2
        return 1
    fi
}

# openbox owns the screen: the root names its check window, and that window is openbox's.
window_manager_ready() {
    alive "$openbox" || return 0
    local check
    check=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null) || return 1
    [[ $check == *"window id # "* ]] || return 1
    xprop -id "${check##* }" -notype _NET_WM_NAME 2>/dev/null | grep -q '"Openbox"'
}

# A system tray exists once a client owns the selection _NET_SYSTEM_TRAY_S0 of screen 0.
tray_ready() {
    alive "$trayer" || return 0
    python3 -c '
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XGetSelectionOwner.restype = ctypes.c_ulong
d = x.XOpenDisplay(None)
if not d:
    sys.exit(1)
atom = x.XInternAtom(ctypes.c_void_p(d), b"_NET_SYSTEM_TRAY_S0", 0)
sys.exit(0 if x.XGetSelectionOwner(ctypes.c_void_p(d), ctypes.c_ulong(atom)) else 1)
'
}

accessibility_bus_ready() {
    alive "$launcher_pid" || return 0
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}

case "$action" in
start)
    stop
    mkdir -p "$dir"
    rm -f "$env_file" "$dir"/*.log
    export XAUTHORITY="$dir/xauthority"
    # A home of the fixture's own for its processes (openbox keeps a log under the cache folder): nothing they
    # write lands in the user's home.
    export HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_CACHE_HOME="$dir/home/.cache" \
        XDG_DATA_HOME="$dir/home/.local/share"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
    cookie=$(mcookie)
    if ! start_server; then
        # A server that died or hangs at start is rare (a crash, something killing it): one more try.
        kill "$xvfb" 2>/dev/null
        mv -f "$dir/xvfb.log" "$dir/xvfb-first.log"
        start_server || fail "the X server did not come up"
    fi
    runtime="$dir/runtime"
    mkdir -p "$runtime"
    chmod 700 "$runtime"
    export XDG_RUNTIME_DIR="$runtime"
    # A session bus as the desktop's, but one that starts no service on request: a portal, a file manager or a
    # keyring installed on the machine would otherwise answer the tests (the portal's file chooser instead of Qt's
    # dialog, a portal already there where a test puts its own). What the desktop needs, the fixture starts.
    cat >"$dir/session-bus.conf" <<'XML'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
  <limit name="max_incoming_bytes">1000000000</limit>
  <limit name="max_outgoing_bytes">1000000000</limit>
  <limit name="max_message_size">1000000000</limit>
  <limit name="service_start_timeout">120000</limit>
  <limit name="auth_timeout">240000</limit>
  <limit name="pending_fd_timeout">150000</limit>
  <limit name="max_completed_connections">100000</limit>
  <limit name="max_incomplete_connections">10000</limit>
  <limit name="max_connections_per_user">100000</limit>
  <limit name="max_pending_service_starts">10000</limit>
  <limit name="max_names_per_connection">50000</limit>
  <limit name="max_match_rules_per_connection">50000</limit>
  <limit name="max_replies_per_connection">50000</limit>
</busconfig>
XML
    bus=$(dbus-daemon --config-file="$dir/session-bus.conf" --fork --print-address=1 --print-pid=1 --nopidfile \
        2>"$dir/dbus.log")
    address=$(echo "$bus" | sed -n 1p)
    bus_pid=$(echo "$bus" | sed -n 2p)
    if [ -z "$address" ] || [ -z "$bus_pid" ]; then
        fail "the D-Bus session bus did not start"
    fi
    record "$bus_pid" dbus-daemon
    export DBUS_SESSION_BUS_ADDRESS="$address"
    # The system's settings (never the user's), without the desktop-switch popup: it stays over the windows of the
    # next test for a while and would show in its screenshots.
    config="$dir/openbox-rc.xml"
    if [ -f /etc/xdg/openbox/rc.xml ]; then
        sed 's|<popupTime>[0-9]*</popupTime>|<popupTime>0</popupTime>|' /etc/xdg/openbox/rc.xml >"$config"
    fi
    if ! grep -q '<popupTime>0</popupTime>' "$config" 2>/dev/null; then
        cat >"$config" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><popupTime>0</popupTime></desktops>
</openbox_config>
XML
    fi
    openbox --sm-disable --config-file "$config" >"$dir/openbox.log" 2>&1 &
    openbox=$!
    record "$openbox" openbox
    launcher=/usr/libexec/at-spi-bus-launcher
    launcher_pid=""
    if [ -x "$launcher" ]; then
        # Tests turn the desktop's accessibility on; the in-memory settings keep that out of the user's dconf.
        GSETTINGS_BACKEND=memory "$launcher" >"$dir/atspi.log" 2>&1 &
        launcher_pid=$!
        record "$launcher_pid" at-spi-bus-launcher
    fi
    # The window manager must own the screen before tests ask it to activate windows.
    poll "$limit" window_manager_ready
    alive "$openbox" || fail "openbox ended at start on $DISPLAY"
    window_manager_ready || fail "openbox did not take the screen of $DISPLAY within $limit s"
    if [ "$tray" = yes ]; then
        trayer --edge "$edge" --align right --SetDockType true --expand true --widthtype request \
            >"$dir/trayer.log" 2>&1 &
        trayer=$!
        record "$trayer" trayer
        poll "$limit" tray_ready
        alive "$trayer" || fail "trayer ended at start on $DISPLAY"
        tray_ready || fail "no system tray appeared on $DISPLAY within $limit s"
    fi
    # Otherwise the bus would start a launcher of its own, with the user's settings, on the first request.
    if [ -n "$launcher_pid" ]; then
        poll "$limit" accessibility_bus_ready
        alive "$launcher_pid" || fail "the accessibility bus launcher ended at start"
        accessibility_bus_ready || fail "the accessibility bus did not appear within $limit s"
    fi
    server_answers || fail "the X server on $DISPLAY went away during the start"
    {
        echo "export DISPLAY='$DISPLAY'"
        echo "export XAUTHORITY='$XAUTHORITY'"
        echo "export DBUS_SESSION_BUS_ADDRESS='$address'"
        echo "export TAVRINE_TEST_XDG_RUNTIME_DIR='$runtime'"
    } >"$env_file"
    echo "x11-fixture: $DISPLAY (Xvfb pid $xvfb) with openbox, tray $tray ($edge), session bus $address"
    ;;
stop)
    stop
    rm -f "$env_file"
    ;;
exec)
    if [ ! -f "$env_file" ]; then
        echo "x11-fixture: no X server; run the x11.start test first" >&2
        exit 1
    fi
    # shellcheck disable=SC1090
    . "$env_file"
    # One clear message when the server went away since the start, instead of a test's own connection error.
    if ! timeout 10 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1; then
        echo "x11-fixture: the X server on $DISPLAY no longer answers" >&2
        print_logs
        exit 1
    fi
    unset QT_QPA_PLATFORM
    exec "$@"
    ;;
*)
    echo "usage: $0 start <dir> [notray|bottomtray] | stop <dir> | exec <dir> <command...>" >&2
    exit 2
    ;;
esac
