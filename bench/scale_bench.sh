#!/bin/bash
# Scale benchmark of the monitor: a port table of many registry ports, and
# several jobs printed at the same time while the spooler enumerates ports.
#
#   scale_bench.sh [--job-size SIZE] [--mail-size SIZE] [--ports N] [--init-runs N]
#                  [--enum-calls N] [--enum-pause-ms MS]
#     --job-size    bytes of each network job, or with a suffix K, M or G (default 64M)
#     --mail-size   bytes of each e-mail job (default 256K; the mailer base64-encodes it)
#     --ports       port keys in the registry while the monitor is measured (default 1000)
#     --init-runs   times the DLL is loaded and InitializeMonitorEx timed (default 5)
#     --enum-calls  EnumPorts level 2 calls timed on the idle monitor (default 2000)
#     --enum-pause-ms  pause between the EnumPorts calls made while printing (default 0)
#   --size, --runs and --ways (the other benchmarks' options) are accepted and
#   not used: the scale figures have sizes of their own.
#
# Goals, each printed as a line with its figure and "met" or "missed":
#   - EnumPorts level 2 with 1,000 ports: at most 1 ms per call (the median
#     of the idle calls; mean, 99th percentile and slowest are shown too);
#   - InitializeMonitorEx with 1,000 port keys: at most 200 ms (the median of
#     the runs, each in a new process as a spooler starts; the fastest and
#     slowest are shown too, and the cost of one wineserver request, four of
#     which each port key takes: enumerated, opened, PrintMode read, closed);
#   - 8 ports printing at the same time (2 LPR to LPRng, 2 Raw to a socat
#     sink, 2 IPP to cupsd, chunked and with Content-Length, 2 e-mail through
#     the mailer to aiosmtpd) while another thread calls EnumPorts level 2 in
#     a loop: every job byte-exact (cmp or MD5 against its input); the total
#     throughput, the EnumPorts calls made meanwhile (none may fail) and the
#     slowest of them are reported.
# Exit code 1 when a job failed or arrived altered (a missed speed goal is a
# figure, not an error); 2 for usage errors.
# The program bench/scale/scale_bench.cpp (scale_bench.exe beside the
# spooler host) writes the filler port keys, measures with
# QueryPerformanceCounter and prints its figures as lines; this script starts
# the servers, installs the monitor with its mailer into a directory of its
# own, adds the 8 ports, checks every delivery, prints the section "Scale" and
# writes build/bench/scale.csv (name,value,unit,goal,met; met is "met" or
# "missed" for a goal, empty for a figure without one). Everything it added
# (ports, installation, servers, received files) is removed again at its
# end; the inputs stay in build/bench/scale for the next run.
#
# Needs a private network namespace with only lo, and a Wine session
# (WINEPREFIX, a running wineserver): ./run bench provides both. Every server
# listens on 127.0.0.1 only.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
BIN=$BUILD/x86_64/bin
WORK=$BUILD/bench/scale # inputs on disk, kept between runs
CSV=$BUILD/bench/scale.csv
PEERS=$ROOT/tests/peers
LIFETIME=900       # of every server, at most
DELIVERY_BOUND_S=60 # from the jobs' end until every server has written what it got
PROGRAM_BOUND_S=600

JOB_SIZE_TEXT=64M
MAIL_SIZE_TEXT=256K
PORTS=1000
INIT_RUNS=5
ENUM_CALLS=2000
ENUM_PAUSE_MS=0

source "$HERE/common.sh"

while (($#)); do
    case $1 in
        --job-size) JOB_SIZE_TEXT=$2; shift 2 ;;
        --mail-size) MAIL_SIZE_TEXT=$2; shift 2 ;;
        --ports) PORTS=$2; shift 2 ;;
        --init-runs) INIT_RUNS=$2; shift 2 ;;
        --enum-calls) ENUM_CALLS=$2; shift 2 ;;
        --enum-pause-ms) ENUM_PAUSE_MS=$2; shift 2 ;;
        --size|--runs|--ways) shift 2 ;;
        *) sed -n '5,14p' "$0" >&2; exit 2 ;;
    esac
done

JOB_SIZE=$(bytes_of "$JOB_SIZE_TEXT")
MAIL_SIZE=$(bytes_of "$MAIL_SIZE_TEXT")

# The 8 ports: name, protocol, job ID (LPRng names its data file after the
# job number, the ID modulo 1000).
NAMES=(S_LPR1 S_LPR2 S_RAW1 S_RAW2 S_IPP1 S_IPP2 S_MAIL1 S_MAIL2)
declare -A KIND=([S_LPR1]=lpr [S_LPR2]=lpr [S_RAW1]=raw [S_RAW2]=raw [S_IPP1]=ipp [S_IPP2]=ipp
                 [S_MAIL1]=mail [S_MAIL2]=mail)
declare -A JOB_ID=([S_LPR1]=101 [S_LPR2]=102 [S_RAW1]=103 [S_RAW2]=104 [S_IPP1]=105 [S_IPP2]=106
                   [S_MAIL1]=107 [S_MAIL2]=108)
URL=http://127.0.0.1:631/printers/raw

host() { wine "$BIN/spoolhost.exe" "$@"; }
program() { wine "$BIN/scale_bench.exe" "$@"; }

# ---- servers and clean-up -------------------------------------------------------
PEER_DIR=
INSTALL=$WORK/install
PORTS_ADDED=()
cleanup() {
    local name
    # The fillers first: every spoolhost start reads all the port keys.
    program --remove-ports >/dev/null 2>&1 || true
    for name in "${PORTS_ADDED[@]}"; do host delete "$name" >/dev/null 2>&1 || true; done
    [[ -e $INSTALL/INSTALL.LST ]] && { host uninstall-monitor "$(wine_path "$INSTALL")" >/dev/null 2>&1 || true; }
    if [[ -n $PEER_DIR ]]; then
        for name in lprng raw cups smtp; do stop_peer "$PEER_DIR/$name"; done
        local spool; spool=$(readlink "$PEER_DIR/lprng-dir/spool" 2>/dev/null || true)
        [[ $spool == /var/tmp/lprng-spool.* ]] && rm -rf "$spool"
        rm -rf "$PEER_DIR"
    fi
}
trap cleanup EXIT

start_servers() {
    PEER_DIR=$(mktemp -d /dev/shm/scale-bench.XXXXXX)
    start_peer "$PEER_DIR/lprng" "$LIFETIME" 515 LPRng "$PEERS/lprng.sh" "$PEER_DIR/lprng-dir" 515
    start_peer "$PEER_DIR/raw" "$LIFETIME" 9100 "the Raw sink" "$PEERS/raw_sink.sh" 9100 "$PEER_DIR/raw-jobs"
    start_peer "$PEER_DIR/cups" "$LIFETIME" 631 cupsd "$PEERS/cups.sh" "$PEER_DIR/cups-dir" 631 --quiet --digest
    start_peer "$PEER_DIR/smtp" "$LIFETIME" 25 aiosmtpd /usr/bin/python3 "$PEERS/smtp_sink.py" --port 25 \
        --dir "$PEER_DIR/mail" --lifetime "$LIFETIME"
}

# ---- the monitor's installation and its ports -------------------------------------
install_monitor() {
    [[ -x $BIN/scale_bench.exe && -x $BIN/spoolhost.exe ]] || { log "no $BIN/scale_bench.exe (./run build)"; return 1; }
    # Filler ports an interrupted run left would slow every spoolhost start.
    program --remove-ports >/dev/null
    if [[ -e $INSTALL/INSTALL.LST ]]; then host uninstall-monitor "$(wine_path "$INSTALL")" >/dev/null || true; fi
    rm -rf "$INSTALL"
    host install-monitor "$(wine_path "$INSTALL")" --lang en >/dev/null
}

add_port() { # name, add arguments...
    local name=$1
    shift
    if ! host add "$name" "$@" >/dev/null; then
        # Left by an interrupted run in this prefix: replaced.
        host delete "$name" >/dev/null
        host add "$name" "$@" >/dev/null
    fi
    PORTS_ADDED+=("$name")
}

add_ports() {
    add_port S_LPR1 --lpr 127.0.0.1 lp1
    add_port S_LPR2 --lpr 127.0.0.1 lp1
    add_port S_RAW1 --raw 127.0.0.1 9100
    add_port S_RAW2 --raw 127.0.0.1 9100
    add_port S_IPP1 --ipp "$URL" --chunked
    add_port S_IPP2 --ipp "$URL"
    add_port S_MAIL1 --email 127.0.0.1 scale@example.invalid scale@example.invalid
    add_port S_MAIL2 --email 127.0.0.1 scale@example.invalid scale@example.invalid
}

# ---- inputs and deliveries --------------------------------------------------------
input_of() { echo "$WORK/input-$1.bin"; }
md5_of() { md5sum <"$1" | cut -d' ' -f1; }

make_inputs() {
    local name
    for name in "${NAMES[@]}"; do
        if [[ ${KIND[$name]} == mail ]]; then make_input "$(input_of "$name")" "$MAIL_SIZE"
        else make_input "$(input_of "$name")" "$JOB_SIZE"; fi
    done
}

# Waits until `pattern` matches `count` files (or the bound passes).
wait_files() { # count, pattern
    local i files
    for i in $(seq $((DELIVERY_BOUND_S * 10))); do
        files=$(compgen -G "$2" | wc -l || true)
        ((files >= $1)) && return 0
        sleep 0.1
    done
    return 1
}

# "MD5 SIZE" of each input of a kind, sorted.
input_digests() { # kind
    local name file
    for name in "${NAMES[@]}"; do
        [[ ${KIND[$name]} == "$1" ]] || continue
        file=$(input_of "$name")
        echo "$(md5_of "$file") $(stat -c %s "$file")"
    done | sort
}

files_digests() { # files...
    local file
    for file in "$@"; do echo "$(md5_of "$file") $(stat -c %s "$file")"; done | sort
}

# Each check prints "exact" or what went wrong, one line per job.
check_lpr() {
    local name id file spool=$PEER_DIR/lprng-dir/spool/lp1
    for name in S_LPR1 S_LPR2; do
        id=$(printf '%03d' $((JOB_ID[$name] % 1000)))
        wait_files 1 "$spool/dfA$id*" || { echo "$name: LPRng has no data file of job $id"; continue; }
        file=$(compgen -G "$spool/dfA$id*" | head -1)
        if cmp -s "$(input_of "$name")" "$file"; then echo "$name: exact"; else echo "$name: LPRng's data file of job $id differs"; fi
    done
}

check_set() { # kind, count, pattern, what; compares the set of digests
    local kind=$1 count=$2 pattern=$3 what=$4 name
    local got=() names=()
    for name in "${NAMES[@]}"; do [[ ${KIND[$name]} == "$kind" ]] && names+=("$name"); done
    if ! wait_files "$count" "$pattern"; then
        echo "${names[*]}: $what has $(compgen -G "$pattern" | wc -l || true) of $count jobs"
        return
    fi
    mapfile -t got < <(compgen -G "$pattern")
    if [[ $(files_digests "${got[@]}") == "$(input_digests "$kind")" ]]; then
        for name in "${names[@]}"; do echo "$name: exact"; done
    else
        echo "${names[*]}: what $what got differs from the inputs"
    fi
}

check_ipp() {
    local jobs=$PEER_DIR/cups-dir/jobs file got=()
    if ! wait_files 2 "$jobs/job-*.md5"; then
        echo "S_IPP1 S_IPP2: cupsd has $(compgen -G "$jobs/job-*.md5" | wc -l || true) of 2 jobs"
        return
    fi
    for file in "$jobs"/job-*.md5; do got+=("$(cat "$file")"); done
    if [[ $(printf '%s\n' "${got[@]}" | sort) == "$(input_digests ipp)" ]]; then
        echo "S_IPP1: exact"; echo "S_IPP2: exact"
    else
        echo "S_IPP1 S_IPP2: what cupsd got differs from the inputs"
    fi
}

# ---- figures ----------------------------------------------------------------------
value() { awk -v k="$1" '$1 == k { print $2; exit }' "$OUT"; }
met() { # figure, operator, bound -> met / missed
    awk -v v="$1" -v op="$2" -v b="$3" 'BEGIN { ok = (op == "<=") ? v <= b : v >= b; print (v != "" && ok) ? "met" : "missed" }'
}
CSV_ROWS=()
row() { CSV_ROWS+=("$1,$2,$3,$4,$5"); } # name, value, unit, goal, met

# ---- main -------------------------------------------------------------------------
mkdir -p "$WORK"
make_inputs
log "scale: servers, installation and the 8 ports"
start_servers
install_monitor
add_ports

ARGS=(--ports "$PORTS" --init-runs "$INIT_RUNS" --enum-calls "$ENUM_CALLS" --enum-pause-ms "$ENUM_PAUSE_MS"
      --timeout-s "$PROGRAM_BOUND_S")
for name in "${NAMES[@]}"; do ARGS+=(--job "$name" "${JOB_ID[$name]}" "$(wine_path "$(input_of "$name")")"); done
OUT=$WORK/scale-bench.out
log "scale: $PORTS ports, InitializeMonitorEx x $INIT_RUNS, EnumPorts x $ENUM_CALLS, 8 jobs at once"
program_ok=1
# The program's lines end in CR LF.
timeout --kill-after=10 $((PROGRAM_BOUND_S + 120)) wine "$BIN/scale_bench.exe" "${ARGS[@]}" >"$OUT.crlf" || program_ok=0
tr -d '\r' <"$OUT.crlf" >"$OUT" && rm -f "$OUT.crlf"
grep -E '^job ' "$OUT" | sed 's/^/   /' >&2 || true

CHECKS=$( { check_lpr; check_set raw 2 "$PEER_DIR/raw-jobs/conn-*.bin" "the Raw sink"; check_ipp
            check_set mail 2 "$PEER_DIR/mail/msg-*.att" "aiosmtpd"; } )
exact=$(grep -c ': exact$' <<<"$CHECKS" || true)
failed_jobs=$(grep -c '^job .* failed' "$OUT" || true)
grep -v ': exact$' <<<"$CHECKS" | sed 's/^/   delivery: /' >&2 || true

enum_median=$(value enum_median_ms); enum_mean=$(value enum_mean_ms)
enum_p99=$(value enum_p99_ms); enum_max=$(value enum_max_ms); enum_ports=$(value enum_ports)
init_median=$(value init_median_ms); init_max=$(value init_max_ms); init_ports=$(value init_ports)
init_min=$(value init_min_ms); server_call=$(value server_call_median_ms); server_fastest=$(value server_call_min_ms)
port_keys=$(value port_keys)
bytes=$(value print_bytes); wall=$(value print_wall_ms); rate=$(value print_mib_per_s)
calls=$(value print_enum_count); slowest=$(value print_enum_max_ms); during_median=$(value print_enum_median_ms)
enum_failures=$(value print_enum_failures); during_ports=$(value print_enum_ports)

enum_met=$(met "$enum_median" '<=' 1)
init_met=$(met "$init_median" '<=' 200)
jobs_met=missed
[[ $program_ok == 1 && $exact == 8 && $failed_jobs == 0 && ${enum_failures:-1} == 0 ]] && jobs_met=met

printf '\nScale\n'
printf 'EnumPorts level 2 with %s ports: %s ms per call (median of %s; mean %s, p99 %s, slowest %s), goal <= 1 ms: %s\n' \
    "${enum_ports:-?}" "${enum_median:-?}" "$ENUM_CALLS" "${enum_mean:-?}" "${enum_p99:-?}" "${enum_max:-?}" "$enum_met"
printf 'InitializeMonitorEx with %s port keys (%s ports made): %s ms (median of %s runs; fastest %s, slowest %s), goal <= 200 ms: %s\n' \
    "${port_keys:-?}" "${init_ports:-?}" "${init_median:-?}" "$INIT_RUNS" "${init_min:-?}" "${init_max:-?}" "$init_met"
awk -v c="${server_call:-0}" -v f="${server_fastest:-0}" 'BEGIN {
    printf "  one wineserver request (a registry read): %.1f us median, %.1f us fastest; each port key takes 4\n", c * 1000, f * 1000 }'
printf '8 ports printing at once (2 LPR, 2 Raw, 2 IPP, 2 e-mail; %s and %s per job) with EnumPorts level 2 in a loop: %s of 8 jobs byte-exact: %s\n' \
    "$JOB_SIZE_TEXT" "$MAIL_SIZE_TEXT" "$exact" "$jobs_met"
printf '  total throughput %s MiB/s (%s bytes in %s ms); EnumPorts during the printing: %s calls (%s ports each, %s failed), median %s ms, slowest %s ms\n' \
    "${rate:-?}" "${bytes:-?}" "${wall:-?}" "${calls:-?}" "${during_ports:-?}" "${enum_failures:-?}" "${during_median:-?}" "${slowest:-?}"

row enum_ports_level2_per_call "${enum_median:-}" ms '<=1' "$enum_met"
row enum_ports_level2_slowest "${enum_max:-}" ms '' ''
row initialize_monitor "${init_median:-}" ms '<=200' "$init_met"
row initialize_monitor_slowest "${init_max:-}" ms '' ''
row wineserver_request "${server_call:-}" ms '' ''
row concurrent_jobs_byte_exact "$exact" jobs '8' "$jobs_met"
row concurrent_throughput "${rate:-}" MiB/s '' ''
row concurrent_enum_calls "${calls:-}" calls '' ''
row concurrent_enum_slowest "${slowest:-}" ms '' ''
# Each job: its throughput from the common start to its end.
while read -r _ port _ size ms _; do
    row "job_$port" "$(awk -v b="$size" -v t="$ms" 'BEGIN { printf "%.1f", (t > 0 ? b / 1048576 / (t / 1000) : 0) }')" MiB/s '' ''
done < <(grep -E '^job ' "$OUT" || true)
{
    echo 'name,value,unit,goal,met'
    printf '%s\n' "${CSV_ROWS[@]}"
} >"$CSV"
log "scale: figures in $CSV"
# A missed speed goal is a figure; a job that failed or arrived altered is an error.
[[ $jobs_met == met ]]
