#!/usr/bin/python3
"""A minimal HTTP forward proxy on 127.0.0.1, for the proxy path of IPP ports.

    http_proxy.py --port PORT --dir DIR [--lifetime S]

Each connection carries one request whose request line has the absolute form
("POST http://127.0.0.1:631/printers/raw HTTP/1.1"). The proxy records it,
connects to the origin named there (loopback only), sends the request line
in origin form ("POST /printers/raw HTTP/1.1") with the client's headers
(less Proxy-Connection, plus "Connection: close"), then relays bytes both ways
as they come (the request body, counted or chunked, and the response) until
the origin closes; then it closes the client's connection. Nothing is
buffered whole. A request line that is not in absolute form gets 400, an
origin off loopback 403, an origin that refuses 502.

Files in DIR (N is the connection, 1, 2, ... in accept order):
  ready         written once the proxy listens
  requests.log  "N REQUEST-LINE" for each request, as received
  req-N.head    the request head as received
  conn-N.json   when the connection has ended: request_line, origin,
                forwarded_line, request_bytes (relayed after the head),
                response_bytes, status_line
  events.log    "accept N", "closed N"
Run it under run_peer.sh (or with --lifetime), with /usr/bin/python3.
"""

import argparse
import json
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

HEAD_LIMIT = 65536
BLOCK = 65536
IDLE_SECONDS = 120.0
LOOPBACK = ("127.0.0.1", "localhost")


def read_head(conn, deadline):
    data = b""
    while b"\r\n\r\n" not in data:
        if len(data) > HEAD_LIMIT or time.monotonic() >= deadline:
            return None, b""
        try:
            piece = conn.recv(BLOCK)
        except socket.timeout:
            continue
        except OSError:
            return None, b""
        if not piece:
            return None, b""
        data += piece
    head, rest = data.split(b"\r\n\r\n", 1)
    return head, rest


def answer(conn, code, text):
    body = b"%d %s\r\n" % (code, text.encode())
    conn.sendall(b"HTTP/1.1 %d %s\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n%s"
                 % (code, text.encode(), len(body), body))


def relay(client, origin, deadline, info):
    """Copies both ways until the origin closes (or the bounds end)."""
    client.settimeout(60)
    origin.settimeout(60)
    open_ends = [client, origin]
    last = time.monotonic()
    response_head = b""
    while open_ends and time.monotonic() < deadline and time.monotonic() - last < IDLE_SECONDS:
        readable, _, _ = select.select(open_ends, [], [], 0.5)
        for source in readable:
            target = origin if source is client else client
            try:
                data = source.recv(BLOCK)
            except OSError:
                data = b""
            if not data:
                if source is origin:
                    return  # the answer is complete
                open_ends.remove(client)  # the client half-closed: tell the origin
                try:
                    origin.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
                continue
            last = time.monotonic()
            if source is client:
                info["request_bytes"] += len(data)
            else:
                info["response_bytes"] += len(data)
                if len(response_head) < 1024:
                    response_head += data[:1024]
                    info["status_line"] = response_head.split(b"\r\n", 1)[0].decode("latin-1")
            try:
                target.sendall(data)
            except OSError:
                return


def handle(conn, index, args, record):
    info = {"connection": index, "request_line": None, "origin": None, "forwarded_line": None,
            "request_bytes": 0, "response_bytes": 0, "status_line": None}
    origin = None
    try:
        head, rest = read_head(conn, args.deadline)
        if head is None:
            return
        with open(os.path.join(args.dir, "req-%d.head" % index), "wb") as out:
            out.write(head + b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        info["request_line"] = lines[0]
        record.event_line("requests.log", "%d %s" % (index, lines[0]))
        parts = lines[0].split(" ")
        url = urllib.parse.urlsplit(parts[1]) if len(parts) == 3 else None
        if url is None or url.scheme != "http" or not url.hostname:
            answer(conn, 400, "Bad Request")
            return
        host, port = url.hostname, url.port or 80
        info["origin"] = "%s:%d" % (host, port)
        if host not in LOOPBACK:
            answer(conn, 403, "Forbidden")
            return
        try:
            origin = socket.create_connection(("127.0.0.1", port), timeout=10)
        except OSError:
            answer(conn, 502, "Bad Gateway")
            return
        path = url.path or "/"
        if url.query:
            path += "?" + url.query
        forwarded = "%s %s %s" % (parts[0], path, parts[2])
        info["forwarded_line"] = forwarded
        headers = [line for line in lines[1:] if line and
                   line.split(":", 1)[0].strip().lower() not in ("proxy-connection", "connection")]
        out_head = "\r\n".join([forwarded] + headers + ["Connection: close"]) + "\r\n\r\n"
        origin.sendall(out_head.encode("latin-1") + rest)
        info["request_bytes"] += len(rest)
        relay(conn, origin, args.deadline, info)
    except OSError:
        pass
    finally:
        if origin is not None:
            origin.close()
        try:
            conn.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        conn.close()
        path = os.path.join(args.dir, "conn-%d.json" % index)
        with open(path + ".part", "w") as out:
            json.dump(info, out)
        os.replace(path + ".part", path)
        record.event("closed %d" % index)


class ProxyRecord(fault_server.Record):
    def event_line(self, name, text):
        with self.lock:
            with open(os.path.join(self.dir, name), "a") as log:
                log.write(text + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    fault_server.add_common_arguments(parser)
    args = parser.parse_args()
    fault_server.Record = ProxyRecord
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return fault_server.serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
