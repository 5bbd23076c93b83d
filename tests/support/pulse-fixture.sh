#!/usr/bin/env bash
# A private PulseAudio daemon with a null sink for the tests labelled "pulse", in its own runtime folder; it never
# touches the user's sound server or settings. Usage: pulse-fixture.sh start|stop <dir> | exec <dir> <command...>
set -uo pipefail
action=$1
dir=$2
shift 2
env_file="$dir/env"
pid_file="$dir/pid"

stop() {
    if [ -f "$pid_file" ]; then
        local pid
        pid=$(cat "$pid_file")
        # Only while the number still belongs to the daemon started here.
        if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "pulseaudio" ]; then
            kill "$pid" 2>/dev/null || true
        fi
        rm -f "$pid_file"
    fi
}

case "$action" in
start)
    stop
    rm -rf "$dir"
    mkdir -p "$dir/home" "$dir/config/pulse" "$dir/runtime"
    chmod 700 "$dir/runtime"
    # Volumes as set, never spread over the sink.
    echo "flat-volumes = no" >"$dir/config/pulse/daemon.conf"
    socket="$dir/native"
    HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/runtime" \
        pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --log-target=stderr \
        --load="module-null-sink sink_name=tavrine_test" \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" >"$dir/pulse.log" 2>&1 &
    echo $! >"$pid_file"
    # Until the daemon answers; the limit is generous, as the tests run on busy machines.
    deadline=$((SECONDS + 30))
    while kill -0 "$(cat "$pid_file")" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
        if PULSE_SERVER="unix:$socket" timeout 10 pactl info >/dev/null 2>&1; then
            echo "export PULSE_SERVER='unix:$socket'" >"$env_file"
            echo "pulse-fixture: PulseAudio on $socket"
            exit 0
        fi
        sleep 0.05
    done
    echo "pulse-fixture: PulseAudio did not start" >&2
    cat "$dir/pulse.log" >&2
    stop
    exit 1
    ;;
stop)
    stop
    rm -f "$env_file"
    ;;
exec)
    if [ ! -f "$env_file" ]; then
        echo "pulse-fixture: no sound server; run the pulse.start test first" >&2
        exit 1
    fi
    # shellcheck disable=SC1090
    . "$env_file"
    exec "$@"
    ;;
*)
    echo "usage: $0 start|stop <dir> | exec <dir> <command...>" >&2
    exit 2
    ;;
esac
