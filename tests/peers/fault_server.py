#!/usr/bin/python3
"""A TCP server on loopback that misbehaves on purpose, for send and
connection tests:

    fault_server.py --port PORT --dir DIR --mode MODE [options]

Modes (the first --faulty connections misbehave, later ones sink normally):
  sink     read every byte until the client closes
  close    accept and close at once, reading nothing
  reset    read --after bytes, then reset the connection (linger 0)
  stall    read --after bytes, then stop reading until --stall-seconds have
           passed or DIR/resume appears, then read the rest; with a small
           --rcvbuf the client's sends block soon after
  refuse   listen, but close the listener once --max-connections (default 1)
           connections were accepted; later connects are refused

Files in DIR:
  ready           written once the server listens
  conn-N.part/.bin the bytes of connection N (1, 2, ... in accept order);
                  renamed to .bin when the connection has ended
  events.log      one line per event: "accept N", "stalled N BYTES",
                  "resumed N", "reset N BYTES", "closed N BYTES"

The server exits after --lifetime seconds (default 60) or on SIGTERM. Run it
under run_peer.sh. Other scripts (for example a server of another protocol)
can import this file and reuse serve() with a handler of their own: a handler
is called as handler(conn, index, args, record) on a thread per connection.
"""

import argparse
import os
import signal
import socket
import struct
import sys
import threading
import time

CHUNK = 65536


class Record:
    """Events and captured bytes of one server run."""

    def __init__(self, directory):
        self.dir = directory
        self.lock = threading.Lock()

    def event(self, text):
        with self.lock:
            with open(os.path.join(self.dir, "events.log"), "a") as log:
                log.write(text + "\n")

    def capture(self, index):
        return open(os.path.join(self.dir, "conn-%d.part" % index), "wb")

    def finish(self, index):
        base = os.path.join(self.dir, "conn-%d" % index)
        os.replace(base + ".part", base + ".bin")


def read_up_to(conn, out, limit, deadline):
    """Reads until `limit` bytes (None: until EOF) or the deadline; returns the count."""
    total = 0
    while limit is None or total < limit:
        if time.monotonic() >= deadline:
            break
        want = CHUNK if limit is None else min(CHUNK, limit - total)
        try:
            data = conn.recv(want)
        except socket.timeout:
            continue  # a slow client; the deadline bounds the wait
        except ConnectionError:
            break
        if not data:
            break
        out.write(data)
        total += len(data)
    return total


def reset(conn):
    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    conn.close()


def wait_resume(args, deadline):
    """Sleeps until --stall-seconds have passed or DIR/resume appears."""
    end = min(deadline, time.monotonic() + args.stall_seconds)
    resume = os.path.join(args.dir, "resume")
    while time.monotonic() < end and not os.path.exists(resume):
        time.sleep(0.02)


def handle_standard(conn, index, args, record):
    faulty = index <= args.faulty
    mode = args.mode if faulty else "sink"
    deadline = args.deadline
    total = 0
    with record.capture(index) as out:
        if mode == "close":
            conn.close()
        elif mode == "reset":
            total = read_up_to(conn, out, args.after, deadline)
            out.flush()
            record.event("reset %d %d" % (index, total))
            reset(conn)
        else:
            if mode == "stall":
                total = read_up_to(conn, out, args.after, deadline)
                out.flush()
                record.event("stalled %d %d" % (index, total))
                wait_resume(args, deadline)
                record.event("resumed %d" % index)
            total += read_up_to(conn, out, None, deadline)
            conn.close()
    record.finish(index)
    record.event("closed %d %d" % (index, total))


HANDLERS = {name: handle_standard for name in ("sink", "close", "reset", "stall", "refuse")}


def add_common_arguments(parser):
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--lifetime", type=float, default=60.0)
    parser.add_argument("--rcvbuf", type=int, default=0, help="receive buffer of accepted connections")
    parser.add_argument("--max-connections", type=int, default=0, help="0: no limit (refuse mode: 1)")


def listen(args):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if args.rcvbuf:
        # Set before listen so that accepted connections inherit it.
        server.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, args.rcvbuf)
    server.bind(("127.0.0.1", args.port))
    server.listen(16)
    server.settimeout(0.1)
    return server


def serve(args, handler):
    """Accepts connections until the lifetime ends, one thread each."""
    os.makedirs(args.dir, exist_ok=True)
    args.deadline = time.monotonic() + args.lifetime
    record = Record(args.dir)
    server = listen(args)
    open(os.path.join(args.dir, "ready"), "w").close()
    accepted = 0
    while time.monotonic() < args.deadline:
        if args.max_connections and accepted >= args.max_connections:
            if server is not None:
                server.close()
                server = None
            time.sleep(0.05)
            continue
        try:
            conn, _ = server.accept()
        except socket.timeout:
            continue
        accepted += 1
        conn.settimeout(0.5)
        record.event("accept %d" % accepted)
        thread = threading.Thread(target=handler, args=(conn, accepted, args, record), daemon=True)
        thread.start()
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    add_common_arguments(parser)
    parser.add_argument("--mode", choices=sorted(HANDLERS), required=True)
    parser.add_argument("--after", type=int, default=0, help="bytes read before a reset or a stall")
    parser.add_argument("--stall-seconds", type=float, default=30.0)
    parser.add_argument("--faulty", type=int, default=1, help="how many connections misbehave")
    args = parser.parse_args()
    if args.mode == "refuse" and not args.max_connections:
        args.max_connections = 1
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return serve(args, HANDLERS[args.mode])


if __name__ == "__main__":
    sys.exit(main())
