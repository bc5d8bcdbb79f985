#!/bin/bash
# Runs LPRng's lpd in the foreground on 127.0.0.1:PORT with one queue, lp1,
# spooling into DIR/spool/lp1 (each job lands there as dfA<nnn><host> with its
# parsed control file hfA<nnn>...).
#
#   lprng.sh DIR PORT [reserved-only]
#
# lpd reads only /etc/lprng/lpd.conf and /etc/printcap, so it runs in a
# private mount namespace in which /etc is an overlay whose upper layer (on a
# private tmpfs) holds our two files and the permissions file. With
# "reserved-only" it refuses connections from source ports above 1023.
# Meant to be started by run_peer.sh, which bounds its lifetime and stops it.
set -eu

if (($# < 2)); then
    sed -n '6p' "$0" >&2
    exit 2
fi
dir=$1
port=$2
mode=${3:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
lprng=${LPRNG_DIR:-$root/build/peers/lprng}
lpd=$lprng/usr/sbin/lpd
[[ -x $lpd ]] || { echo "lpd not found under $lprng (run ./run setup)" >&2; exit 1; }

mkdir -p "$dir"
# The physical path: a printcap field cannot hold a colon (Wine's "c:" link).
dir=$(cd "$dir" && pwd -P)
[[ $dir != *:* ]] || { echo "spool path $dir holds a colon" >&2; exit 1; }
# lpd works as the daemon user, which may not be able to pass through DIR
# (a checkout in a private directory): the spool lies in a directory of its
# own under /var/tmp, and DIR/spool links to it.
[[ -L $dir/spool ]] && rm -rf "$(readlink "$dir/spool")"
rm -rf "$dir/spool"
spool=$(mktemp -d /var/tmp/lprng-spool.XXXXXX)
chmod 0755 "$spool"
mkdir -p "$spool/lp1"
chown -R daemon:daemon "$spool"
chmod -R 0755 "$spool"
ln -s "$spool" "$dir/spool"

perms="DEFAULT ACCEPT"
[[ $mode == reserved-only ]] && perms="REJECT SERVICE=X NOT PORT=1-1023
DEFAULT ACCEPT"

export LPD_BIN=$lpd LPD_DIR=$dir LPD_SPOOL=$spool LPD_PORT=$port LPD_PERMS=$perms
exec unshare -m --propagation private bash -eu -c '
    layers=$LPD_DIR/layers
    mkdir -p "$layers"
    mount -t tmpfs tmpfs "$layers"
    mkdir -p "$layers/upper/lprng" "$layers/work"
    cat >"$layers/upper/lprng/lpd.conf" <<EOF
lpd_listen_port=127.0.0.1%$LPD_PORT
unix_socket_path=off
lockfile=$LPD_SPOOL/lpd.lock
printcap_path=/etc/printcap
perms_path=/etc/lprng/lpd.perms
EOF
    printf "%s\n" "$LPD_PERMS" >"$layers/upper/lprng/lpd.perms"
    printf "lp1:sd=%s/lp1:lp=/dev/null:save_when_done\n" "$LPD_SPOOL" >"$layers/upper/printcap"
    mount -t overlay overlay -o "lowerdir=/etc,upperdir=$layers/upper,workdir=$layers/work" /etc
    exec "$LPD_BIN" -F
'
