# LPR ways of the sending benchmark, sourced by raw_bench.sh: the same input
# delivered as one LPR job (RFC 1179, with its size) to LPRng on
# 127.0.0.1:515, whose stored data file is compared with the input.
#
#   lpr       the spooler host through an LPR port of the monitor with byte
#             count (the job is spooled first, then sent in 1 MiB blocks)
#   lpr-streamed  the same port kind with NonSpool 1, printing a job the
#             spooler already holds whole (a file): the monitor announces the
#             spooler's size and streams the job as it is written, as CUPS's
#             backend sends the file cupsd spooled (a variant)
#   cups-lpd  the CUPS "lpd" backend (Debian's cups package, unpacked into
#             build/peers/cups by ./run bench): the reference
#
# LPRng keeps each job (save_when_done); the spool is emptied before every
# run, so the one data file there is the run's delivery.

LPR_DIR=$WORK/lprng
LPR_SPOOL=$LPR_DIR/spool/lp1
CUPS_LPD=$BUILD/peers/cups/usr/lib/cups/backend-available/lpd

start_lprng_once() {
    [[ -e $LPR_DIR/ready && ! -e $LPR_DIR/gone ]] && return 0
    rm -rf "$LPR_DIR"
    start_peer "$LPR_DIR" "$SINK_LIFETIME" 515 LPRng "$PEERS/lprng.sh" "$LPR_DIR" 515
}

# The last job's files go too: the spool lies outside the build tree.
stop_lprng() {
    [[ ! -d $LPR_DIR ]] || stop_peer "$LPR_DIR"
    empty_lpr_spool
}

empty_lpr_spool() { rm -f "$LPR_SPOOL"/dfA* "$LPR_SPOOL"/cfA* "$LPR_SPOOL"/hfA*; }

# The data file of the run's job, once LPRng has created it.
lpr_data_file() {
    local i file
    for i in $(seq 200); do
        for file in "$LPR_SPOOL"/dfA*; do
            [[ -e $file ]] && { echo "$file"; return 0; }
        done
        sleep 0.05
    done
    echo "$LPR_SPOOL/no-data-file"
}

prepare_lpr() {
    start_lprng_once || return 1
    mkdir -p "$WORK/install"
    wine "$BIN/spoolhost.exe" install "$(wine_path "$WORK/install")" >/dev/null 2>&1
    wine "$BIN/spoolhost.exe" setport LPRBENCH 'PrintMode#=0' HostName=127.0.0.1 PortName=lp1 'NonRFCPorts#=1' \
        'NonByteCount#=0' 'DatTmout#=60000' 'CmdTmout#=60000' >/dev/null 2>&1
    LPR_INPUT=$(wine_path "$INPUT")
}
command_lpr() {
    empty_lpr_spool
    CMD=(wine "$BIN/spoolhost.exe" print LPRBENCH "$LPR_INPUT" --job 7 --repeat 1)
}
delivered_lpr() { lpr_data_file; }
finish_lpr() { stop_lprng; }

prepare_lpr-streamed() {
    [[ -n ${LPR_INPUT:-} ]] || prepare_lpr || return 1
    wine "$BIN/spoolhost.exe" setport LPRBENCHNS 'PrintMode#=0' HostName=127.0.0.1 PortName=lp1 'NonRFCPorts#=1' \
        'NonByteCount#=0' 'NonSpool#=1' 'DatTmout#=60000' 'CmdTmout#=60000' >/dev/null 2>&1
}
command_lpr-streamed() {
    empty_lpr_spool
    CMD=(wine "$BIN/spoolhost.exe" print LPRBENCHNS "$LPR_INPUT" --job 8 --repeat 1)
}
delivered_lpr-streamed() { lpr_data_file; }
finish_lpr-streamed() { stop_lprng; }

prepare_cups-lpd() {
    [[ -x $CUPS_LPD ]] || { log "no CUPS lpd backend at $CUPS_LPD (./run bench unpacks it)"; return 1; }
    start_lprng_once
}
command_cups-lpd() {
    empty_lpr_spool
    CMD=(env "DEVICE_URI=lpd://127.0.0.1/lp1" "$CUPS_LPD" 1 user title 1 '' "$INPUT")
}
delivered_cups-lpd() { lpr_data_file; }
finish_cups-lpd() { stop_lprng; }

WAYS+=(lpr lpr-streamed cups-lpd)
PROTOCOL+=([lpr]=lpr [lpr-streamed]=lpr [cups-lpd]=lpr)
ROLE+=([lpr]=ours [lpr-streamed]=variant [cups-lpd]=ref)
