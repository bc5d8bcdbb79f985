#!/usr/bin/python3
"""A scriptable HTTP/IPP printer on 127.0.0.1 that misbehaves on purpose.

    ipp_fault_server.py --port PORT --dir DIR [--script S] [--gpa S] [--print S]
                        [--rcvbuf BYTES] [--stall-seconds S] [--lifetime S]

A Get-Printer-Attributes request is answered with the scenario of --gpa, a
Print-Job with that of --print; without it, with that of --script, else "idle".
A scenario is a preset with options: "stopped:reasons=media-jam-error",
"ipp-error:status=0x0507", "idle:model=Office%20Laser" (values percent-decoded).

Presets (those marked "holds" keep the connection open for 30 s afterwards)
  idle / stopped   printer-state 3 / 5 (stopped: media-jam-error,toner-low-warning)
  no-accepting     printer-is-accepting-jobs left out
  ignored / ipp-error   IPP status 0x0001 / 0x0400 (choose with status=)
  interim-same     "100 Continue" and the final response in one send
  interim-later    the 100, a pause, then the final response
  chunked-ext      chunked, with chunk extensions and a trailer
  bytewise         the response one byte per send
  close-delimited  no length: the body follows the head after a pause and ends
                   with the close
  te-cl / cl-te    chunked, with a wrong Content-Length after / before it
  keepalive        "Connection: Keep-Alive", held until the client closes
  401 / 426 / 500  that HTTP status
  bad-status, no-blank, huge-length, long-length, negative-length,
  dup-length, chunk-ffffffff   a broken status line or framing (holds)
  big              a response of more than 20000 bytes
  stall            stops reading after 65536 body bytes until --stall-seconds
                   have passed or DIR/resume appears
  drop             reads the request, closes without an answer
  version-1.1      answers an IPP/1.0 request with server-error-version-not-supported
  close-reset      close-delimited, and the whole body followed by a reset, not a close
  early-401        answers 401 after 65536 document bytes and closes the connection
                   with the rest of the upload unread (a reset)

Files in DIR (N: the connection, in accept order): "ready" once it listens;
req-N.json once the request has been read (or the connection ended): its
operation, request_id, framing, complete, document_bytes and the first value of
each IPP attribute by name; req-N.doc, the document bytes after the IPP request.
"""

import argparse
import json
import os
import signal
import socket
import struct
import sys
import time
import urllib.parse

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fault_server  # noqa: E402  (serve)

HOLD = 30
PRESETS = {
    "idle": {},
    "stopped": {"state": 5, "reasons": "media-jam-error,toner-low-warning"},
    "no-accepting": {"accepting": False},
    "ignored": {"status": "0x0001"},
    "ipp-error": {"status": "0x0400"},
    "interim-same": {"interim": True},
    "interim-later": {"interim": True, "pause": 0.2},
    "chunked-ext": {"chunk": 16, "ext": b';name=value;x="y"', "trailers": b"X-Trailer: 1\r\n"},
    "bytewise": {"split": 1},
    "close-delimited": {"length": None, "pause": 0.2},
    "te-cl": {"chunk": 64, "wrong-length": "after"},
    "cl-te": {"chunk": 64, "wrong-length": "before"},
    "keepalive": {"connection": "Keep-Alive", "hold": 60},
    "401": {"http": 401}, "426": {"http": 426}, "500": {"http": 500},
    "bad-status": {"status-line": "HTTP/1.1 2OO OK", "hold": HOLD},
    "no-blank": {"status-line": "HTTP/1.1200 OK", "hold": HOLD},
    "huge-length": {"length": "99999999999999999999", "hold": HOLD},
    "long-length": {"length": "100000", "hold": HOLD},
    "negative-length": {"length": "-1", "hold": HOLD},
    "dup-length": {"dup-length": True, "hold": HOLD},
    "chunk-ffffffff": {"chunk": "ffffffff", "hold": HOLD},
    "big": {"pad": 20000},
    "stall": {"stall": 65536},
    "drop": {"drop": True},
    "version-1.1": {"min-minor": 1},
    "close-reset": {"length": None, "reset": True},
    "early-401": {"http": 401, "early": 65536},
}


def scenario(text):
    name, *options = text.split(":")
    result = dict(PRESETS[name])
    for option in options:
        key, _, value = option.partition("=")
        result[key] = urllib.parse.unquote(value)
    return result


class Reader:
    def __init__(self, conn):
        self.conn, self.buffer = conn, b""

    def fill(self):
        data = self.conn.recv(65536)
        if not data:
            raise EOFError
        self.buffer += data

    def until(self, mark):
        while mark not in self.buffer:
            self.fill()
        line, self.buffer = self.buffer.split(mark, 1)
        return line

    def take(self, count):
        if not self.buffer:
            self.fill()
        piece, self.buffer = self.buffer[:count], self.buffer[count:]
        return piece


def body_pieces(reader, headers):
    """The decoded request body, piece by piece (Content-Length or chunked)."""
    if "chunked" in headers.get("transfer-encoding", "").lower():
        while True:
            size = int(reader.until(b"\r\n").split(b";")[0], 16)
            if size == 0:
                while reader.until(b"\r\n"):  # trailers up to the empty line
                    pass
                return
            while size:
                piece = reader.take(size)
                size -= len(piece)
                yield piece
            reader.until(b"\r\n")
    remaining = int(headers.get("content-length", "0"))
    while remaining:
        piece = reader.take(min(remaining, 65536))
        remaining -= len(piece)
        yield piece


def walk_ipp(data):
    """(operation, request ID, {name: first value}, end of the IPP request or None)."""
    if len(data) < 8:
        return None, None, {}, None
    operation, request_id = struct.unpack(">HI", data[2:8])
    attributes, at, name = {}, 8, ""
    while at < len(data):
        tag = data[at]
        if tag == 0x03:
            return operation, request_id, attributes, at + 1
        if tag < 0x10:
            at += 1
            continue
        if at + 3 > len(data):
            break
        length = struct.unpack(">H", data[at + 1:at + 3])[0]
        name = data[at + 3:at + 3 + length].decode("latin-1") or name
        at += 3 + length
        if at + 2 > len(data):
            break
        length = struct.unpack(">H", data[at:at + 2])[0]
        attributes.setdefault(name, data[at + 2:at + 2 + length].decode("latin-1"))
        at += 2 + length
    return operation, request_id, attributes, None


def attribute(tag, name, value):
    name, value = name.encode(), value.encode() if isinstance(value, str) else value
    return struct.pack(">BH", tag, len(name)) + name + struct.pack(">H", len(value)) + value


def ipp_answer(o, version, operation, request_id):
    status = int(o.get("status", "0"), 0)
    if version and version[1] < int(o.get("min-minor", 0)):
        status = 0x0503
    out = (version or b"\x01\x01") + struct.pack(">HI", status, request_id or 0) + b"\x01"
    out += attribute(0x47, "attributes-charset", "utf-8") + attribute(0x48, "attributes-natural-language", "en")
    if status >= 0x0400:
        return out + attribute(0x41, "status-message", "test error") + b"\x03"
    if operation == 0x0002:
        return out + b"\x02" + attribute(0x45, "job-uri", "ipp://127.0.0.1/jobs/1") + attribute(
            0x21, "job-id", struct.pack(">i", 1)) + attribute(0x23, "job-state", struct.pack(">i", 3)) + b"\x03"
    reasons = o.get("reasons", "none").split(",")
    out += b"\x04" + attribute(0x23, "printer-state", struct.pack(">i", int(o.get("state", 3))))
    out += attribute(0x44, "printer-state-reasons", reasons[0]) + b"".join(attribute(0x44, "", r) for r in reasons[1:])
    if o.get("accepting", True):
        out += attribute(0x22, "printer-is-accepting-jobs", b"\x01")
    out += attribute(0x41, "printer-make-and-model", o.get("model", "Fault Server Printer"))
    if "pad" in o:
        out += attribute(0x41, "printer-info", "x" * 1000) + attribute(0x41, "", "x" * 1000) * (o["pad"] // 1000)
    return out + b"\x03"


def answer(conn, o, version, operation, request_id):
    code = o.get("http", 200)
    body = ipp_answer(o, version, operation, request_id) if code == 200 else b"<html>%d</html>" % code
    lines = [o.get("status-line", "HTTP/1.1 %d %s" % (code, "OK" if code == 200 else "Status")),
             "Content-Type: application/ipp"]
    if code == 401:
        lines.append('WWW-Authenticate: Basic realm="fault-server"')
    lines.append("Upgrade: TLS/1.2, HTTP/1.1\r\nConnection: Upgrade" if code == 426
                 else "Connection: " + o.get("connection", "close"))
    chunk = o.get("chunk")
    if chunk == "ffffffff":
        lines.append("Transfer-Encoding: chunked")
        body = b"ffffffff\r\n" + body
    elif chunk:
        ext = o.get("ext", b"")
        body = b"".join(b"%x%s\r\n%s\r\n" % (len(body[at:at + chunk]), ext, body[at:at + chunk])
                        for at in range(0, len(body), chunk)) + b"0" + ext + b"\r\n" + o.get("trailers", b"") + b"\r\n"
        wrong = "Content-Length: %d" % (len(body) + 7)
        te = ["Transfer-Encoding: chunked"]
        lines += {"after": te + [wrong], "before": [wrong] + te}.get(o.get("wrong-length"), te)
    elif o.get("dup-length"):
        lines += ["Content-Length: %d" % len(body), "Content-Length: %d" % (len(body) + 1)]
    elif o.get("length", "") is not None:
        lines.append("Content-Length: " + o.get("length", str(len(body))))
    head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
    interim = b"HTTP/1.1 100 Continue\r\n\r\n" if o.get("interim") else b""
    if "pause" in o:  # interim-later, close-delimited: a pause before the rest
        sends = [interim, head + body] if interim else [head, body]
    else:
        sends = [interim + head + body]
    step = o.get("split")
    for n, data in enumerate(sends):
        if n:
            time.sleep(o["pause"])
        for at in range(0, len(data), step or max(len(data), 1)):
            conn.sendall(data[at:at + (step or len(data))])
            if step:
                time.sleep(0.001)
    if o.get("reset"):
        time.sleep(0.2)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


def handle(conn, index, args, record):
    conn.settimeout(args.lifetime)
    base = os.path.join(args.dir, "req-%d" % index)
    info = {"complete": False, "document_bytes": 0}
    o, ipp, operation, request_id, end = None, b"", None, None, None
    try:
        reader = Reader(conn)
        head = reader.until(b"\r\n\r\n").decode("latin-1").split("\r\n")
        headers = {k.strip().lower(): v.strip() for k, _, v in (line.partition(":") for line in head[1:])}
        info["framing"] = ("chunked" if "chunked" in headers.get("transfer-encoding", "").lower()
                           else "length" if "content-length" in headers else "none")
        with open(base + ".doc", "wb") as doc:
            for piece in body_pieces(reader, headers):
                if end is None:
                    ipp += piece
                    operation, request_id, attributes, end = walk_ipp(ipp)
                    if o is None and operation is not None:
                        key = {0x000B: args.gpa, 0x0002: args.print}.get(operation)
                        o = scenario(key or args.script or "idle")
                    piece = ipp[end:] if end is not None else b""
                doc.write(piece)
                info["document_bytes"] += len(piece)
                if "early" in (o or {}) and info["document_bytes"] >= o["early"]:
                    answer(conn, o, ipp[:2], operation, request_id)
                    o["drop"] = True  # answered already: the rest of the upload stays unread
                    break
                if "stall" in (o or {}) and len(ipp) + info["document_bytes"] >= o["stall"]:
                    doc.flush()
                    del o["stall"]
                    fault_server.wait_resume(args, time.monotonic() + args.lifetime)
        info["complete"] = True
    except (EOFError, OSError, ValueError):
        pass
    finally:
        if "framing" in info:  # a connection that sent no head leaves nothing
            operation, request_id, attributes, end = walk_ipp(ipp)
            info.update(attributes, operation=operation, request_id=request_id,
                        version="%d.%d" % (ipp[0], ipp[1]) if len(ipp) >= 2 else "")
            with open(base + ".json.part", "w") as out:
                json.dump(info, out)
            os.replace(base + ".json.part", base + ".json")
    try:
        o = o or scenario(args.script or "idle")
        if info["complete"] and not o.get("drop"):
            answer(conn, o, ipp[:2], operation, request_id)
            if "hold" in o:
                conn.settimeout(o["hold"])
                while conn.recv(65536):
                    pass
    except OSError:
        pass
    conn.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    fault_server.add_common_arguments(parser)
    for option in ("--script", "--gpa", "--print"):
        parser.add_argument(option, default="")
    args = parser.parse_args()
    for text in (args.script, args.gpa, args.print):
        if text:
            scenario(text)  # fail at start on an unknown preset
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return fault_server.serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
