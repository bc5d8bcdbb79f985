#!/usr/bin/python3
"""A minimal HTTP forward proxy on 127.0.0.1, for the proxy path of IPP ports.

    http_proxy.py --port PORT --dir DIR [--lifetime S]

Each connection carries one request in absolute form ("POST
http://127.0.0.1:631/printers/raw HTTP/1.1"). The proxy logs its request line
to DIR/requests.log ("N REQUEST-LINE"), passes it on in origin form to that
port of 127.0.0.1 (never elsewhere) with "Connection: close", then relays
bytes both ways until the origin closes. DIR/ready appears once it listens.
"""

import argparse
import os
import select
import signal
import socket
import sys
import time
import urllib.parse

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fault_server  # noqa: E402  (serve, Record)


def handle(conn, index, args, record):
    origin = None
    conn.settimeout(60)
    try:
        data = b""
        while b"\r\n\r\n" not in data:
            piece = conn.recv(65536)
            if not piece:
                return
            data += piece
        head, rest = data.split(b"\r\n\r\n", 1)
        lines = head.decode("latin-1").split("\r\n")
        record.event("%d %s" % (index, lines[0]), "requests.log")
        method, url, version = lines[0].split(" ")
        url = urllib.parse.urlsplit(url)
        origin = socket.create_connection(("127.0.0.1", url.port or 80), timeout=60)
        headers = [line for line in lines[1:] if line.split(":", 1)[0].strip().lower()
                   not in ("proxy-connection", "connection")]
        forwarded = "%s %s %s" % (method, url.path or "/", version)
        origin.sendall(("\r\n".join([forwarded] + headers + ["Connection: close"]) + "\r\n\r\n").encode("latin-1")
                       + rest)
        ends = [conn, origin]
        while ends and time.monotonic() < args.deadline:
            for source in select.select(ends, [], [], 0.5)[0]:
                data = source.recv(65536)
                if not data and source is origin:
                    return  # the answer is complete
                if not data:  # the client half-closed: tell the origin
                    ends.remove(conn)
                    origin.shutdown(socket.SHUT_WR)
                    continue
                (origin if source is conn else conn).sendall(data)
    except (OSError, ValueError):
        pass
    finally:
        if origin is not None:
            origin.close()
        conn.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    fault_server.add_common_arguments(parser)
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return fault_server.serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
