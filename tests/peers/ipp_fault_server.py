#!/usr/bin/python3
"""A scriptable HTTP/IPP printer on 127.0.0.1 that misbehaves on purpose.

    ipp_fault_server.py --port PORT --dir DIR [--script "S1 S2 ..."]
                        [--gpa "S ..."] [--print "S ..."] [options]

Each connection takes one scenario: the next of --gpa (for a
Get-Printer-Attributes request) or --print (for a Print-Job request) when that
list is given, else the next of --script (in accept order). The last scenario
of a list repeats for the rest; without any list every connection gets "idle".

A scenario is a preset and/or options joined by ":", for example
"stopped", "idle:interim=later", "chunked-ext:state=4", "ipp-error:status=0x0507",
"stopped:reasons=paused,media-jam-error", "idle:model=Office%20Laser" (values
are percent-decoded).

Presets
  idle / processing / stopped   printer-state 3 / 4 / 5 (stopped: reasons
                   media-jam-error,toner-low-warning); printer-is-accepting-jobs true
  not-accepting    printer-is-accepting-jobs false
  no-accepting     printer-is-accepting-jobs left out
  ignored          status successful-ok-ignored-or-substituted-attributes (0x0001)
  ipp-error        status client-error-bad-request (0x0400); choose with status=
  interim-same     "HTTP/1.1 100 Continue" and the final response in one send
  interim-later    the 100, a pause (gap), then the final response
  chunked          chunked response (chunks of `chunk` bytes, default 64)
  chunked-ext      chunked with a chunk extension on every size line and a trailer
  bytewise         the response sent one byte per send (gap ms apart, default 1)
  close-delimited  no Content-Length, no chunking: the body follows the head
                   after a pause (gap) and ends when the server closes
  401 / 426 / 500  that HTTP status (401 with WWW-Authenticate: Basic)
  bad-status       status line "HTTP/1.1 2OO OK"          (then holds the connection)
  no-blank         status line "HTTP/1.1200 OK"           (holds)
  huge-length      Content-Length 99999999999999999999    (holds)
  long-length      Content-Length 100000, more than sent  (holds)
  negative-length  Content-Length -1                      (holds)
  dup-length       two different Content-Length headers   (holds)
  te-cl / cl-te    Transfer-Encoding: chunked and a wrong Content-Length, in
                   that order; the body is chunked
  chunk-ffffffff   chunked, first size line "ffffffff"    (holds)
  big              a printer-info padding makes the response exceed 20000 bytes
  keepalive        Connection: Keep-Alive; the server never closes (holds 60 s)
  stall            stops reading after 65536 body bytes until --stall-seconds
                   have passed or DIR/resume appears; then reads on and answers
  drop             reads the request, closes without an answer
Options
  http=CODE  reason=TEXT  status-line=TEXT  status=0xNNNN  state=3|4|5|absent
  reasons=a,b,...  accepting=true|false|absent|integer (integer: tag 0x21)
  charset=NAME|absent  model=TEXT  job-id=N  raw-printer=HEX (appended to the
  printer group)  framing=length|chunked|close  chunk=N  chunkext  trailers
  length=TEXT (the Content-Length text)  te=TEXT (the Transfer-Encoding text)
  interim=same|later|early  split=N  gap=MS  hold=SECONDS  stall=BYTES
  when=head|body (answer after the head, or after the whole body)
  drop  reset (close with RST)  pad=BYTES
Server options
  --require-auth USER:PASSWORD   requests without this Basic authorization get
                                 401 (no scenario is used up)
  --rcvbuf BYTES  receive buffer of accepted connections (with stall)
  --stall-seconds S (default 30)  --lifetime S (default 60)

Files in DIR (N is the connection, 1, 2, ... in accept order):
  ready          written once the server listens
  req-N.head     the request head as received (request line and headers)
  req-N.body     the decoded body (IPP request, then the document)
  req-N.attrs    the IPP request, one line per value:
                 "GROUP TAG NAME=VALUE" (hex group and tag; NAME empty for a
                 further value; bytes below 0x20, 0x7f and "\\" as \\xHH)
  req-N.json     written when the request has been read (before the answer;
                 not for a connection that sent no complete head):
                 request_line, method, target, host, authorization,
                 content_length, transfer_encoding, framing, chunks (first 64
                 sizes), chunk_count, last_chunk, body_bytes, complete,
                 version, operation, request_id, ipp_length (where the
                 document starts in req-N.body), document_bytes, scenario,
                 auth ("none", "ok" or "wrong" with --require-auth)
  events.log     "accept N", "request N OP SCENARIO", "stalled N BYTES",
                 "resumed N", "responded N", "client-closed N SECONDS",
                 "held N", "extra N BYTES" (bytes after the request),
                 "bad-request N WHY", "closed N"
Run it under run_peer.sh (or with --lifetime), with /usr/bin/python3.
"""

import argparse
import base64
import json
import os
import signal
import socket
import struct
import sys
import threading
import time
import urllib.parse

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fault_server  # noqa: E402  (serve, listen, Record, reset)

HEAD_LIMIT = 65536
IPP_LIMIT = 65536
CHUNK_LINE_LIMIT = 1024
READ = 65536

OPERATIONS = {0x0002: "Print-Job", 0x0004: "Validate-Job", 0x000B: "Get-Printer-Attributes"}

PRESETS = {
    "idle": {"state": "3"},
    "processing": {"state": "4"},
    "stopped": {"state": "5", "reasons": "media-jam-error,toner-low-warning"},
    "not-accepting": {"accepting": "false"},
    "no-accepting": {"accepting": "absent"},
    "ignored": {"status": "0x0001"},
    "ipp-error": {"status": "0x0400"},
    "interim-same": {"interim": "same"},
    "interim-later": {"interim": "later"},
    "chunked": {"framing": "chunked"},
    "chunked-ext": {"framing": "chunked", "chunk": "16", "chunkext": "1", "trailers": "1"},
    "bytewise": {"split": "1"},
    "close-delimited": {"framing": "close"},
    "401": {"http": "401"},
    "426": {"http": "426"},
    "500": {"http": "500"},
    "bad-status": {"status-line": "HTTP/1.1 2OO OK", "hold": "30"},
    "no-blank": {"status-line": "HTTP/1.1200 OK", "hold": "30"},
    "huge-length": {"length": "99999999999999999999", "hold": "30"},
    "long-length": {"length": "100000", "hold": "30"},
    "negative-length": {"length": "-1", "hold": "30"},
    "dup-length": {"dup-length": "1", "hold": "30"},
    "te-cl": {"framing": "chunked", "te-cl": "te-first"},
    "cl-te": {"framing": "chunked", "te-cl": "cl-first"},
    "chunk-ffffffff": {"framing": "chunked", "chunk-ffffffff": "1", "hold": "30"},
    "big": {"pad": "20000"},
    "keepalive": {"keepalive": "1", "hold": "60"},
    "stall": {"stall": "65536"},
    "drop": {"drop": "1"},
}

REASONS = {200: "OK", 401: "Unauthorized", 403: "Forbidden", 404: "Not Found", 426: "Upgrade Required",
           500: "Internal Server Error", 503: "Service Unavailable"}


def parse_scenario(text):
    """ "stopped:reasons=a,b:gap=10" -> dict of options (presets expanded)."""
    options = {"name": text}
    for part in text.split(":"):
        if not part:
            continue
        if "=" in part:
            key, value = part.split("=", 1)
            options[key] = urllib.parse.unquote(value)
        elif part in PRESETS:
            options.update(PRESETS[part])
        else:
            options[part] = "1"  # a flag such as chunkext, trailers, drop, reset
    return options


class Scenarios:
    """The scenario lists; each connection takes the next of its list."""

    def __init__(self, args):
        self.lock = threading.Lock()
        self.lists = {"script": args.script.split(), "gpa": args.gpa.split(), "print": args.print.split()}
        for key, values in self.lists.items():
            for value in values:
                parse_scenario(value)  # fail at start on a bad one
        self.used = {key: 0 for key in self.lists}

    def take(self, key):
        with self.lock:
            values = self.lists[key]
            if not values:
                return None
            index = min(self.used[key], len(values) - 1)
            self.used[key] += 1
            return values[index]

    def has(self, key):
        return bool(self.lists[key])


# ---- reading the request ---------------------------------------------------

class Closed(Exception):
    pass


class Connection:
    """Buffered reads from a client socket, bounded by a deadline."""

    def __init__(self, conn, deadline):
        self.conn = conn
        self.deadline = deadline
        self.buffer = b""

    def fill(self, want=READ):
        while True:
            if time.monotonic() >= self.deadline:
                raise Closed("deadline")
            try:
                data = self.conn.recv(want)
            except socket.timeout:
                continue
            except (ConnectionError, OSError):
                raise Closed("reset")
            if not data:
                raise Closed("eof")
            self.buffer += data
            return

    def line(self, limit):
        while b"\r\n" not in self.buffer:
            if len(self.buffer) > limit:
                raise ValueError("line too long")
            self.fill()
        line, self.buffer = self.buffer.split(b"\r\n", 1)
        return line

    def take(self, count):
        """Up to `count` bytes (at least one)."""
        if not self.buffer:
            self.fill(min(count, READ))
        piece, self.buffer = self.buffer[:count], self.buffer[count:]
        return piece


def read_head(stream):
    while b"\r\n\r\n" not in stream.buffer:
        if len(stream.buffer) > HEAD_LIMIT:
            raise ValueError("head too long")
        stream.fill()
    head, stream.buffer = stream.buffer.split(b"\r\n\r\n", 1)
    return head + b"\r\n\r\n"


def parse_head(head):
    lines = head.decode("latin-1").split("\r\n")
    request_line = lines[0]
    headers = []
    for line in lines[1:]:
        if not line:
            continue
        name, _, value = line.partition(":")
        headers.append((name.strip(), value.strip()))
    return request_line, headers


def header(headers, name):
    """Values of a header (any letter case), in order."""
    return [value for key, value in headers if key.lower() == name.lower()]


class Body:
    """Decodes the request body as it arrives (Content-Length or chunked)."""

    def __init__(self, stream, headers, info):
        self.stream = stream
        self.info = info
        self.chunked = any("chunked" in v.lower() for v in header(headers, "Transfer-Encoding"))
        lengths = header(headers, "Content-Length")
        self.remaining = 0
        info["framing"] = "chunked" if self.chunked else ("length" if lengths else "none")
        if not self.chunked and lengths:
            if not lengths[0].isdigit():
                raise ValueError("bad Content-Length")
            self.remaining = int(lengths[0])
        self.chunk_left = 0
        self.done = not self.chunked and self.remaining == 0
        info["chunks"] = []
        info["chunk_count"] = 0
        info["last_chunk"] = False

    def read(self, limit=READ):
        """The next decoded piece (at most `limit` bytes), b"" at the end."""
        if self.done:
            return b""
        if not self.chunked:
            piece = self.stream.take(min(limit, self.remaining))
            self.remaining -= len(piece)
            self.done = self.remaining == 0
            return piece
        if self.chunk_left == 0:
            line = self.stream.line(CHUNK_LINE_LIMIT)
            size_text = line.split(b";", 1)[0].strip()
            if not size_text or any(c not in b"0123456789abcdefABCDEF" for c in size_text):
                raise ValueError("bad chunk size line %r" % line[:40])
            size = int(size_text, 16)
            self.info["chunk_count"] += 1
            if len(self.info["chunks"]) < 64:
                self.info["chunks"].append(size)
            if size == 0:
                while self.stream.line(CHUNK_LINE_LIMIT):  # trailers up to the empty line
                    pass
                self.info["last_chunk"] = True
                self.done = True
                return b""
            self.chunk_left = size
        piece = self.stream.take(min(limit, self.chunk_left))
        self.chunk_left -= len(piece)
        if self.chunk_left == 0:
            while len(self.stream.buffer) < 2:
                self.stream.fill()
            if self.stream.buffer[:2] != b"\r\n":
                raise ValueError("no CR LF after chunk data")
            self.stream.buffer = self.stream.buffer[2:]
        return piece


def walk_ipp(data):
    """(header dict, [(group, tag, name, value)], end offset or None)."""
    if len(data) < 8:
        return None, [], None
    version = "%d.%d" % (data[0], data[1])
    operation, request_id = struct.unpack(">HI", data[2:8])
    info = {"version": version, "operation": operation, "request_id": request_id}
    items = []
    group = 0
    at = 8
    while at < len(data):
        tag = data[at]
        if tag == 0x03:
            return info, items, at + 1
        if tag < 0x10:
            group = tag
            at += 1
            continue
        if tag == 0x7F:
            if at + 5 > len(data):
                break
            tag = struct.unpack(">I", data[at + 1:at + 5])[0]
            at += 4
        if at + 3 > len(data):
            break
        name_length = struct.unpack(">H", data[at + 1:at + 3])[0]
        if at + 3 + name_length + 2 > len(data):
            break
        name = data[at + 3:at + 3 + name_length]
        at += 3 + name_length
        value_length = struct.unpack(">H", data[at:at + 2])[0]
        if at + 2 + value_length > len(data):
            break
        items.append((group, tag, name, data[at + 2:at + 2 + value_length]))
        at += 2 + value_length
    return info, items, None


def escape(value):
    out = bytearray()
    for byte in value:
        if byte < 0x20 or byte == 0x7F or byte == 0x5C:
            out += b"\\x%02x" % byte
        else:
            out.append(byte)
    return bytes(out)


# ---- building the answer ---------------------------------------------------

def attribute(tag, name, value):
    if isinstance(name, str):
        name = name.encode()
    if isinstance(value, str):
        value = value.encode()
    return struct.pack(">BH", tag, len(name)) + name + struct.pack(">H", len(value)) + value


def ipp_response(options, request):
    status = int(options.get("status", "0"), 0)
    version = request.get("version_bytes") or b"\x01\x01"
    out = bytearray(version + struct.pack(">HI", status, request.get("request_id", 0)))
    out.append(0x01)
    charset = options.get("charset", "utf-8")
    if charset != "absent":
        out += attribute(0x47, "attributes-charset", charset)
    out += attribute(0x48, "attributes-natural-language", "en")
    if status >= 0x0400:
        out += attribute(0x41, "status-message", "test error 0x%04x" % status)
        out.append(0x03)
        return bytes(out)
    if request.get("operation") == 0x0002:
        out.append(0x02)
        job_id = int(options.get("job-id", request.get("connection", 1)))
        out += attribute(0x45, "job-uri", "ipp://127.0.0.1/jobs/%d" % job_id)
        out += attribute(0x21, "job-id", struct.pack(">i", job_id))
        out += attribute(0x23, "job-state", struct.pack(">i", 3))
        out += attribute(0x44, "job-state-reasons", "none")
        out.append(0x03)
        return bytes(out)
    out.append(0x04)
    state = options.get("state", "3")
    if state != "absent":
        out += attribute(0x23, "printer-state", struct.pack(">i", int(state)))
    reasons = options.get("reasons", "none").split(",")
    out += attribute(0x44, "printer-state-reasons", reasons[0])
    for reason in reasons[1:]:
        out += attribute(0x44, "", reason)
    accepting = options.get("accepting", "true")
    if accepting in ("true", "false"):
        out += attribute(0x22, "printer-is-accepting-jobs", b"\x01" if accepting == "true" else b"\x00")
    elif accepting == "integer":
        out += attribute(0x21, "printer-is-accepting-jobs", struct.pack(">i", 1))
    out += attribute(0x41, "printer-make-and-model", options.get("model", "Fault Server Printer"))
    pad = int(options.get("pad", "0"))
    first = True
    while pad > 0:
        piece = min(pad, 1000)
        out += attribute(0x41, "printer-info" if first else "", "x" * piece)
        first = False
        pad -= piece
    if "raw-printer" in options:
        out += bytes.fromhex(options["raw-printer"])
    out.append(0x03)
    return bytes(out)


def http_response(options, request):
    """(interim bytes or b"", head bytes, body pieces): what the server sends."""
    code = int(options.get("http", "200"))
    if request.get("auth_failed"):
        code = 401
    reason = options.get("reason", REASONS.get(code, "Status"))
    status_line = options.get("status-line", "HTTP/1.1 %d %s" % (code, reason))
    if 200 <= code < 300:
        body = ipp_response(options, request)
        content_type = "application/ipp"
    else:
        body = b"<html><body>%d %s</body></html>" % (code, reason.encode())
        content_type = "text/html"
    lines = [status_line, "Date: Thu, 01 Jan 2026 00:00:00 GMT", "Server: fault-server"]
    if code == 401:
        lines.append('WWW-Authenticate: Basic realm="fault-server"')
    if code == 426:
        lines += ["Upgrade: TLS/1.2, HTTP/1.1", "Connection: Upgrade"]
    elif options.get("keepalive"):
        lines.append("Connection: Keep-Alive")
    else:
        lines.append("Connection: close")
    lines.append("Content-Type: " + content_type)
    framing = options.get("framing", "length")
    pieces = []
    if framing == "chunked":
        order = options.get("te-cl")
        wrong_length = "Content-Length: %d" % (len(body) + 7)
        if order == "cl-first":
            lines.append(wrong_length)
        lines.append("Transfer-Encoding: " + options.get("te", "chunked"))
        if order == "te-first":
            lines.append(wrong_length)
        if options.get("chunk-ffffffff"):
            pieces.append(b"ffffffff\r\n" + body)
        else:
            size = max(1, int(options.get("chunk", "64")))
            extension = b";name=value;x=\"y\"" if options.get("chunkext") else b""
            for at in range(0, len(body), size):
                piece = body[at:at + size]
                pieces.append(b"%x%s\r\n%s\r\n" % (len(piece), extension, piece))
            last = b"0" + extension + b"\r\n"
            if options.get("trailers"):
                last += b"X-Trailer-One: 1\r\nX-Trailer-Two: two\r\n"
            pieces.append(last + b"\r\n")
    elif framing == "close":
        pieces.append(body)
    else:
        if "length" in options:
            lines.append("Content-Length: " + options["length"])
        elif options.get("dup-length"):
            lines += ["Content-Length: %d" % len(body), "Content-Length: %d" % (len(body) + 1)]
        else:
            lines.append("Content-Length: %d" % len(body))
        pieces.append(body)
    head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
    interim = b"HTTP/1.1 100 Continue\r\n\r\n" if options.get("interim") in ("same", "later") else b""
    return interim, head, pieces


def send_all(conn, data, options):
    split = int(options.get("split", "0"))
    gap = float(options.get("gap", "1")) / 1000.0
    if not split:
        conn.sendall(data)
        return
    for at in range(0, len(data), split):
        conn.sendall(data[at:at + split])
        time.sleep(gap)


def respond(conn, options, request):
    interim, head, pieces = http_response(options, request)
    gap = float(options.get("gap", "200")) / 1000.0
    mode = options.get("interim")
    if mode == "later":
        send_all(conn, interim, options)
        time.sleep(gap)
        interim = b""
    if options.get("framing") == "close":
        send_all(conn, interim + head, options)
        time.sleep(gap)  # a client must not take the head alone as the answer
        send_all(conn, b"".join(pieces), options)
    else:
        send_all(conn, interim + head + b"".join(pieces), options)


# ---- one connection --------------------------------------------------------

def hold(stream, seconds, index, record):
    """Keeps the connection open (discarding what arrives) until the client closes."""
    start = time.monotonic()
    end = min(stream.deadline, start + seconds)
    extra = 0
    while time.monotonic() < end:
        try:
            data = stream.conn.recv(READ)
        except socket.timeout:
            continue
        except (ConnectionError, OSError):
            data = b""
        if not data:
            record.event("client-closed %d %.2f" % (index, time.monotonic() - start))
            return extra
        extra += len(data)
    record.event("held %d" % index)
    return extra


def wait_resume(args, deadline):
    end = min(deadline, time.monotonic() + args.stall_seconds)
    resume = os.path.join(args.dir, "resume")
    while time.monotonic() < end and not os.path.exists(resume):
        time.sleep(0.02)


def check_auth(args, headers):
    if not args.require_auth:
        return "none"
    for value in header(headers, "Authorization"):
        kind, _, token = value.partition(" ")
        if kind.lower() == "basic":
            try:
                if base64.b64decode(token.strip(), validate=True).decode("utf-8") == args.require_auth:
                    return "ok"
            except ValueError:
                pass
    return "wrong"


def handle(conn, index, args, record):
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    base = os.path.join(args.dir, "req-%d" % index)
    stream = Connection(conn, args.deadline)
    info = {"connection": index, "complete": False, "body_bytes": 0}
    options = None
    try:
        head = read_head(stream)
        with open(base + ".head", "wb") as out:
            out.write(head)
        request_line, headers = parse_head(head)
        info["request_line"] = request_line
        info["method"], _, rest = request_line.partition(" ")
        info["target"] = rest.rpartition(" ")[0]
        for key, name in (("host", "Host"), ("authorization", "Authorization"),
                          ("content_length", "Content-Length"), ("transfer_encoding", "Transfer-Encoding")):
            values = header(headers, name)
            info[key] = values[0] if values else None
        info["auth"] = check_auth(args, headers)
        body = Body(stream, headers, info)
        ipp = bytearray()
        ipp_end = None
        stall_at = None
        with open(base + ".body", "wb") as out:
            # Enough of the body to know the operation (and the scenario).
            while len(ipp) < 8 and not body.done:
                piece = body.read(8 - len(ipp))
                ipp += piece
                out.write(piece)
            walked, _, _ = walk_ipp(bytes(ipp))
            operation = walked["operation"] if walked else None
            key = {0x000B: "gpa", 0x0002: "print"}.get(operation)
            name = None
            if info["auth"] != "wrong":
                if key and args.__dict__[key]:
                    name = scenarios.take(key)
                if name is None:
                    name = scenarios.take("script")
            name = name or ("auth-401" if info["auth"] == "wrong" else "idle")
            options = parse_scenario(name)
            info["scenario"] = name
            record.event("request %d %s %s" % (index, OPERATIONS.get(operation, operation), name))
            if options.get("interim") == "early":
                conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
            if "stall" in options:
                stall_at = int(options["stall"])
            total = len(ipp)
            if options.get("when") != "head":
                while not body.done:
                    limit = READ if stall_at is None else max(1, min(READ, stall_at - total))
                    piece = body.read(limit)
                    total += len(piece)
                    out.write(piece)
                    if ipp_end is None and len(ipp) < IPP_LIMIT:
                        ipp += piece[:IPP_LIMIT - len(ipp)]
                        _, _, ipp_end = walk_ipp(bytes(ipp))
                    if stall_at is not None and total >= stall_at:
                        out.flush()
                        record.event("stalled %d %d" % (index, total))
                        wait_resume(args, args.deadline)
                        record.event("resumed %d" % index)
                        stall_at = None
                info["complete"] = True
            info["body_bytes"] = total
    except Closed as why:
        record.event("bad-request %d connection ended (%s)" % (index, why))
    except ValueError as why:
        record.event("bad-request %d %s" % (index, why))
    finally:
        if "request_line" in info:  # a connection that sent no head leaves only events
            write_summary(base, info, bytes(ipp) if "ipp" in locals() else b"", locals().get("ipp_end"))

    try:
        if options is not None and info.get("request_line"):
            request = {"connection": index, "auth_failed": info["auth"] == "wrong"}
            walked, _, _ = walk_ipp(bytes(ipp))
            if walked:
                request.update(walked)
                request["version_bytes"] = bytes(ipp[:2])
            if not options.get("drop"):
                respond(conn, options, request)
                record.event("responded %d" % index)
            if "hold" in options:
                extra = hold(stream, float(options["hold"]), index, record)
                if extra:
                    record.event("extra %d %d" % (index, extra))
    except (ConnectionError, OSError) as why:
        record.event("send-failed %d %s" % (index, why))
    if options is not None and options.get("reset"):
        fault_server.reset(conn)
    else:
        try:
            conn.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        conn.close()
    record.event("closed %d" % index)


def write_summary(base, info, ipp, ipp_end):
    walked, items, _ = walk_ipp(ipp)
    if walked:
        info.update(walked)
    info["ipp_length"] = ipp_end
    info["document_bytes"] = info["body_bytes"] - ipp_end if ipp_end is not None else None
    with open(base + ".attrs", "wb") as out:
        for group, tag, name, value in items:
            out.write(b"%02x %02x %s=%s\n" % (group, tag, escape(name), escape(value)))
    with open(base + ".json.part", "w") as out:
        json.dump(info, out)
    os.replace(base + ".json.part", base + ".json")


scenarios = None


def main():
    global scenarios
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    fault_server.add_common_arguments(parser)
    parser.add_argument("--script", default="", help="scenarios by connection")
    parser.add_argument("--gpa", default="", help="scenarios of Get-Printer-Attributes requests")
    parser.add_argument("--print", default="", help="scenarios of Print-Job requests")
    parser.add_argument("--stall-seconds", type=float, default=30.0)
    parser.add_argument("--require-auth", default="", help="USER:PASSWORD")
    args = parser.parse_args()
    scenarios = Scenarios(args)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return fault_server.serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
