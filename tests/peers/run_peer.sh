#!/bin/bash
# Runs one test peer (a real server or a fault-injecting one) for a bounded
# time, in a process group of its own, and stops the whole group when asked.
#
#   run_peer.sh [--ready-port PORT] DIR LIFETIME_SECONDS COMMAND [ARGS...]
#
# DIR is the peer's own directory (created). The wrapper writes:
#   DIR/pid       the peer's process ID, which is also its process group ID
#   DIR/peer.log  the peer's standard output and standard error
#   DIR/ready     (with --ready-port) once a TCP listener is bound to
#                 127.0.0.1:PORT or 0.0.0.0:PORT; read from /proc/net/tcp, so
#                 no probe connection reaches the peer
#   DIR/gone      once every process of the group has ended
# The peer is stopped (SIGTERM to its group, SIGKILL after 3 s) when DIR/stop
# appears, when LIFETIME_SECONDS have passed, or when the peer ends by itself.
#
# Wine programs start it through CreateProcessA("/bin/sh -c ...") and cannot
# wait for it: they watch the files instead (tests/support/peer_process.h).
# Liveness is read from /proc (a zombie counts as gone), never from kill -0.
set -u

ready_port=
if [[ ${1:-} == --ready-port ]]; then
    ready_port=$2
    shift 2
fi
if (($# < 3)); then
    sed -n '5,6p' "$0" >&2
    exit 2
fi
dir=$1
lifetime=$2
shift 2

mkdir -p "$dir"
rm -f "$dir/stop" "$dir/gone" "$dir/ready" "$dir/pid"

# True while the process exists and is not a zombie.
alive() { # pid
    local key value
    while read -r key value; do
        [[ $key == State: ]] && { [[ $value != Z* ]]; return; }
    done 2>/dev/null <"/proc/$1/status"
    return 1
}

# True while any live process belongs to process group $1.
group_alive() { # pgid
    local stat rest fields
    for stat in /proc/[0-9]*/stat; do
        # read is a builtin: a scan forks nothing.
        read -r rest 2>/dev/null <"$stat" || continue
        rest=${rest##*) }
        read -r -a fields <<<"$rest"
        # fields: state ppid pgrp ...
        [[ ${fields[2]:-} == "$1" && ${fields[0]:-} != Z ]] && return 0
    done
    return 1
}

# True once a socket listens on 127.0.0.1:port or 0.0.0.0:port.
listening() { # port
    local hex
    hex=$(printf '%04X' "$1")
    awk -v a="0100007F:$hex" -v b="00000000:$hex" \
        '$4 == "0A" && ($2 == a || $2 == b) { found = 1 } END { exit !found }' /proc/net/tcp
}

# A background child of a non-interactive shell is not a group leader, so
# setsid makes it the leader of a new session and group without forking:
# its PID is the group ID.
setsid "$@" >"$dir/peer.log" 2>&1 </dev/null &
pid=$!
echo "$pid" >"$dir/pid.part" && mv "$dir/pid.part" "$dir/pid"

now_ms() { local t=${EPOCHREALTIME//[.,]/}; echo $((10#$t / 1000)); }
deadline=$(($(now_ms) + lifetime * 1000))
while alive "$pid" && [[ ! -e $dir/stop ]] && (($(now_ms) < deadline)); do
    if [[ -n $ready_port && ! -e $dir/ready ]] && listening "$ready_port"; then
        touch "$dir/ready"
    fi
    sleep 0.05
done

kill -TERM -- "-$pid" 2>/dev/null
for _ in $(seq 60); do
    group_alive "$pid" || break
    sleep 0.05
done
group_alive "$pid" && kill -KILL -- "-$pid" 2>/dev/null
for _ in $(seq 40); do
    group_alive "$pid" || break
    sleep 0.05
done
wait "$pid" 2>/dev/null
touch "$dir/gone"
