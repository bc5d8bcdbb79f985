#!/bin/sh
# A Raw (TCP) printer on loopback that keeps every connection's bytes:
#   raw_sink.sh PORT DIR
# Each connection is captured to DIR/conn-<client port>.part and renamed to
# DIR/conn-<client port>.bin once the client has closed its side, so a .bin
# file is always complete. Run it under run_peer.sh, which stops the forked
# children with the listener.
set -eu
port=$1
dir=$2
mkdir -p "$dir"
# -t 0: end a connection as soon as the client's side is at its end, so a
# client that drains before closing is not held back.
exec socat -u -t 0 "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork" \
    SYSTEM:"cat > '$dir'/conn-\$SOCAT_PEERPORT.part && mv '$dir'/conn-\$SOCAT_PEERPORT.part '$dir'/conn-\$SOCAT_PEERPORT.bin"
