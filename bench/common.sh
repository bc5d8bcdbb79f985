# What the benchmarks share (sourced by raw_bench.sh, ipp_bench.sh,
# jobs_bench.sh and bench.sh): sizes, the input file, measuring one sender
# (wall time, CPU time, peak memory, and the wineserver's CPU time for Wine
# senders), medians, and the rows each part leaves for bench/report.sh.
#
#   bytes_of 10M            -> 10485760
#   make_input FILE SIZE    random bytes, kept between runs when the size fits
#   CMD=(sender args...); measure
#                           -> "wall_ms cpu_ms rss_kb server_cpu_ms" (server -1:
#                              not measured); fails when the sender fails
#   ... | median            -> the median of a column of numbers
#   start_peer DIR LIFETIME PORT WHAT COMMAND...; stop_peer DIR
#   bench_options LAST "$@"  --size/--runs/--ways into SIZE_TEXT/RUNS/CHOSEN;
#                           --list: list_ways prints the ways and ends
#   run_ways WAY...         a warm-up and RUNS measured runs of each way
#                           (run_once WAY, the script's own), into RESULTS and
#                           FAILED_WAYS
#   record_ways WAY...      each way's medians as a row of RESULTS_DIR/throughput.txt
#   begin_results; end_results
#                           a script run on its own clears RESULTS_DIR first and
#                           prints bench/report.sh's table at its end; under
#                           bench.sh (BENCH_RESULTS set) the rows add up to one report
#
# A way has a protocol (raw, lpr, ipp) and a role (PROTOCOL[way], ROLE[way]):
# ours (the spooler host; the goals are read on these), variant (the
# spooler host in another setting), ref (the reference the goals compare
# with) or ceiling (what the machine allows, for comparison only).
#
# Needs WINEPREFIX (and its wineserver running) only for Wine senders.

RESULTS_DIR=${BENCH_RESULTS:-$WORK/results}
LIST_WAYS=
declare -A PROTOCOL=() ROLE=() RESULTS=() FAILED_WAYS=()

# The options every benchmark takes (--size, --runs, --ways) into SIZE_TEXT,
# RUNS and CHOSEN; anything else shows lines 2 to LAST of the script.
bench_options() { # last usage line, arguments...
    local last=$1
    shift
    while (($#)); do
        case $1 in
            --size) SIZE_TEXT=$2; shift 2 ;;
            --runs) RUNS=$2; shift 2 ;;
            --ways) CHOSEN=$2; shift 2 ;;
            --list) LIST_WAYS=1; shift ;;
            *) sed -n "2,${last}p" "$0" >&2; exit 2 ;;
        esac
    done
}

log() { printf '== %s\n' "$*" >&2; }

bytes_of() { # 10M -> 10485760
    local text=$1 number unit
    number=${text%[KkMmGg]}
    unit=${text:${#number}}
    case $unit in
        K|k) echo $((number * 1024)) ;;
        M|m) echo $((number * 1024 * 1024)) ;;
        G|g) echo $((number * 1024 * 1024 * 1024)) ;;
        *) echo "$number" ;;
    esac
}

make_input() { # file, size
    if [[ ! -f $1 || $(stat -c %s "$1") -ne $2 ]]; then
        log "making the input: $2 bytes in $1"
        mkdir -p "$(dirname "$1")"
        head -c "$2" /dev/urandom >"$1.part" && mv "$1.part" "$1"
    fi
}

# A test peer under tests/peers/run_peer.sh, ready once it listens on the port.
start_peer() { # dir, lifetime, port, what, command...
    local dir=$1 lifetime=$2 port=$3 what=$4 i
    shift 4
    "$PEERS/run_peer.sh" --ready-port "$port" "$dir" "$lifetime" "$@" >/dev/null 2>&1 &
    for i in $(seq 200); do
        [[ -e $dir/ready ]] && return 0
        sleep 0.05
    done
    log "$what did not start: $(cat "$dir/peer.log" 2>/dev/null)"
    return 1
}

stop_peer() { # dir
    [[ -e $1/pid && ! -e $1/gone ]] || return 0
    touch "$1/stop"
    local i
    for i in $(seq 200); do
        [[ -e $1/gone ]] && return 0
        sleep 0.05
    done
}

wine_path() { winepath -w "$1" 2>/dev/null; }

CLK_TCK=$(getconf CLK_TCK)

# PID of this session's wineserver (its working directory is named after the prefix's device and inode).
wineserver_pid() {
    [[ -n ${WINEPREFIX:-} && -d ${WINEPREFIX:-} ]] || return 0
    local name p
    name=server-$(printf '%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for p in $(pgrep wineserver || true); do
        [[ $(readlink "/proc/$p/cwd" 2>/dev/null) == */"$name" ]] && { echo "$p"; return; }
    done
}

cpu_ms_of() { # pid -> user+system ms so far (0 when gone)
    local stat fields
    read -r stat 2>/dev/null <"/proc/$1/stat" || { echo 0; return; }
    read -r -a fields <<<"${stat##*) }"
    echo $(((fields[11] + fields[12]) * 1000 / CLK_TCK))
}

# The job's own time when the sender reports it on standard output: the
# spooler host's "printed ... in T ms" (first StartDocPort to last
# EndDocPort, as a spooler that has the monitor loaded lives it) or
# wine_send's "spool_ms S send_ms T". Empty for senders that say nothing.
job_ms_of() { # output file
    awk '/^printed .* in [0-9.]+ ms/ { for (i = 1; i < NF; i++) if ($(i + 1) ~ /^ms/) { print int($i + 0.5); exit } }
         $1 == "spool_ms" && $3 == "send_ms" { print int($2 + $4 + 0.5); exit }' "$1"
}

# Runs CMD once: "wall_ms cpu_ms rss_kb server_cpu_ms process_ms". wall_ms
# is the job's own time when the sender reports it (see job_ms_of), else the
# process's; process_ms is always the process's, from start to exit.
measure() {
    local timing output server before after
    timing=$(mktemp)
    output=$(mktemp)
    server=$(wineserver_pid || true)
    before=$([[ -n $server ]] && cpu_ms_of "$server" || echo 0)
    local start=${EPOCHREALTIME//[.,]/}
    # time's own -o file would be the sender's descriptor 3 (a CUPS backend's
    # back channel): dash closes 3 and 4 and executes the sender in its place.
    /usr/bin/time -f '%U %S %M' -o "$timing" /bin/sh -c 'exec "$@" 3<&- 4<&-' sh "${CMD[@]}" >"$output" 2>/dev/null ||
        { rm -f "$timing" "$output"; return 1; }
    local end=${EPOCHREALTIME//[.,]/}
    after=$([[ -n $server ]] && cpu_ms_of "$server" || echo 0)
    # -1: no wineserver, or not the same one throughout (not measured).
    [[ -n $server && $(wineserver_pid || true) == "$server" ]] || { before=1; after=0; }
    local user system rss job process=$(((10#$end - 10#$start) / 1000))
    read -r user system rss <"$timing"
    job=$(job_ms_of "$output")
    rm -f "$timing" "$output"
    awk -v w="${job:-$process}" -v p="$process" -v u="$user" -v s="$system" -v r="$rss" -v d=$((after - before)) \
        'BEGIN { printf "%d %d %d %d %d\n", w, (u + s) * 1000, r, d, p }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) exit; if (NR % 2) print v[(NR + 1) / 2]; else print int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# With --list: "way protocol role" for each of the script's ways, and the end.
list_ways() { # ways...
    [[ -n $LIST_WAYS ]] || return 0
    local way
    for way in "$@"; do echo "$way ${PROTOCOL[$way]} ${ROLE[$way]}"; done
    exit 0
}

# A warm-up run of each way, then RUNS rounds of one run of each. A way that
# fails (its sender, or its delivery) is out: it is reported failed, and none
# of its figures count.
run_ways() { # ways...
    local way run line
    for way in "$@"; do
        log "$way: warm-up"
        run_once "$way" >/dev/null || FAILED_WAYS[$way]=1
    done
    for run in $(seq "$RUNS"); do
        for way in "$@"; do
            [[ -z ${FAILED_WAYS[$way]:-} ]] || continue
            if line=$(run_once "$way"); then
                log "$way run $run: $line (job ms, cpu ms, peak KiB, wineserver cpu ms, process ms)"
                RESULTS[$way]+="$line"$'\n'
            else
                FAILED_WAYS[$way]=1
            fi
        done
    done
}

# The median of one column over a way's runs; negative values were not measured.
field() { # way, column
    printf '%s' "${RESULTS[$1]:-}" | awk -v f="$2" 'NF && $f >= 0 { print $f }' | median
}

# Each way's row in RESULTS_DIR/throughput.txt:
#   protocol way role status wall_ms cpu_ms rss_kb server_cpu_ms bytes runs process_ms
# status ok with the medians, or failed with dashes; wall_ms is the job's own
# time where the sender reports it, process_ms the sender process's.
record_ways() { # ways...
    local way figures column value process
    for way in "$@"; do
        figures="failed - - - -"
        process=-
        if [[ -z ${FAILED_WAYS[$way]:-} && -n ${RESULTS[$way]:-} ]]; then
            figures=ok
            for column in 1 2 3 4; do
                value=$(field "$way" "$column")
                figures+=" ${value:--}"
            done
            process=$(field "$way" 5)
        fi
        echo "${PROTOCOL[$way]} $way ${ROLE[$way]} $figures $SIZE $RUNS ${process:--}" >>"$RESULTS_DIR/throughput.txt"
    done
}

begin_results() {
    mkdir -p "$RESULTS_DIR"
    [[ -n ${BENCH_RESULTS:-} ]] || rm -f "$RESULTS_DIR"/*.txt
}

end_results() {
    [[ -n ${BENCH_RESULTS:-} ]] || "$HERE/report.sh" "$RESULTS_DIR"
}
