#!/usr/bin/python3
"""A TCP server on loopback that misbehaves on purpose, for send tests:

    fault_server.py --port PORT --dir DIR --mode sink|reset|stall [--after N]
                    [--rcvbuf BYTES] [--stall-seconds S] [--lifetime S]

The first connection misbehaves, later ones are sinks:
  sink   reads every byte until the client closes
  reset  reads --after bytes, then resets the connection (linger 0)
  stall  reads --after bytes, then stops reading until --stall-seconds have
         passed or DIR/resume appears, then reads the rest; with a small
         --rcvbuf the client's sends block soon after

Files in DIR: "ready" once it listens; events.log ("accept N" per
connection); conn-N.bin, the bytes of connection N once it has ended.
Other peers import serve() with a handler of their own, called as
handler(conn, index, args, record) on a thread per connection.
"""

import argparse
import os
import signal
import socket
import struct
import sys
import threading
import time


class Record:
    def __init__(self, directory):
        self.dir = directory
        self.lock = threading.Lock()

    def event(self, text, name="events.log"):
        with self.lock:
            with open(os.path.join(self.dir, name), "a") as log:
                log.write(text + "\n")


def read_up_to(conn, out, limit, deadline):
    """Reads until `limit` bytes (None: until EOF) or the deadline; returns the count."""
    total = 0
    while (limit is None or total < limit) and time.monotonic() < deadline:
        try:
            data = conn.recv(65536 if limit is None else min(65536, limit - total))
        except socket.timeout:
            continue
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
    while time.monotonic() < end and not os.path.exists(os.path.join(args.dir, "resume")):
        time.sleep(0.02)


def handle(conn, index, args, record):
    mode = args.mode if index == 1 else "sink"
    base = os.path.join(args.dir, "conn-%d" % index)
    with open(base + ".part", "wb") as out:
        if mode == "reset":
            read_up_to(conn, out, args.after, args.deadline)
            out.flush()
            reset(conn)
        else:
            if mode == "stall":
                read_up_to(conn, out, args.after, args.deadline)
                out.flush()
                wait_resume(args, args.deadline)
            read_up_to(conn, out, None, args.deadline)
            conn.close()
    os.replace(base + ".part", base + ".bin")


def add_common_arguments(parser):
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--lifetime", type=float, default=60.0)
    parser.add_argument("--rcvbuf", type=int, default=0, help="receive buffer of accepted connections")
    parser.add_argument("--stall-seconds", type=float, default=30.0)


def serve(args, handler, record_class=Record):
    """Accepts connections until the lifetime ends, one thread each."""
    os.makedirs(args.dir, exist_ok=True)
    args.deadline = time.monotonic() + args.lifetime
    record = record_class(args.dir)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if args.rcvbuf:
        # Set before listen so that accepted connections inherit it.
        server.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, args.rcvbuf)
    server.bind(("127.0.0.1", args.port))
    server.listen(16)
    server.settimeout(0.1)
    open(os.path.join(args.dir, "ready"), "w").close()
    accepted = 0
    while time.monotonic() < args.deadline:
        try:
            conn, _ = server.accept()
        except socket.timeout:
            continue
        accepted += 1
        conn.settimeout(0.5)
        record.event("accept %d" % accepted)
        threading.Thread(target=handler, args=(conn, accepted, args, record), daemon=True).start()
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    add_common_arguments(parser)
    parser.add_argument("--mode", choices=("sink", "reset", "stall"), required=True)
    parser.add_argument("--after", type=int, default=0, help="bytes read before a reset or a stall")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
