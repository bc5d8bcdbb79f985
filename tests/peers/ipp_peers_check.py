#!/usr/bin/python3
"""Checks that the IPP peers do what the Wine tests rely on, without Wine:
cupsd (cups.sh) stores counted and chunked Print-Job documents byte-exact
with user and title, its auth/authjob/stopped/reject queues answer as
described, the proxy forwards to it, and the fault server answers its
scenarios and records requests as documented.

    ipp_peers_check.py

Runs inside a private network namespace: when the current one has any
interface besides lo, it re-runs itself under `unshare --net`. Every peer
listens on 127.0.0.1, runs under run_peer.sh and is stopped at the end.
Exit status 0 when every check passed.
"""

import base64
import json
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time

PEERS = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
FAILURES = []


def only_loopback():
    # /proc/net follows the caller's network namespace (/sys/class/net may not).
    with open("/proc/net/dev") as devices:
        names = [line.split(":", 1)[0].strip() for line in devices if ":" in line]
    return names == ["lo"]


def check(condition, what):
    print("%s: %s" % ("ok" if condition else "FAILED", what))
    if not condition:
        FAILURES.append(what)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start(directory, command, port=None):
    wrapper = [os.path.join(PEERS, "run_peer.sh")] + (["--ready-port", str(port)] if port else [])
    subprocess.Popen(wrapper + [directory, "120"] + command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_file(path, seconds=10.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if os.path.exists(path):
            return True
        time.sleep(0.05)
    return False


def stop(directory):
    open(os.path.join(directory, "stop"), "w").close()
    wait_file(os.path.join(directory, "gone"))


# ---- a small IPP client ------------------------------------------------------

def attribute(tag, name, value):
    name = name.encode()
    value = value.encode() if isinstance(value, str) else value
    return struct.pack(">BH", tag, len(name)) + name + struct.pack(">H", len(value)) + value


def ipp_request(operation, uri, user="alice", title="Report"):
    body = b"\x01\x00" + struct.pack(">HI", operation, 42) + b"\x01"
    body += attribute(0x47, "attributes-charset", "utf-8") + attribute(0x48, "attributes-natural-language", "en-us")
    body += attribute(0x45, "printer-uri", uri) + attribute(0x42, "requesting-user-name", user)
    if operation == 0x0002:
        body += attribute(0x42, "job-name", title) + b"\x02"
    else:
        body += attribute(0x44, "requested-attributes", "printer-state")
        body += attribute(0x44, "", "printer-state-reasons") + attribute(0x44, "", "printer-is-accepting-jobs")
    return body + b"\x03"


def exchange(port, operation, path, document=b"", chunked=False, proxy_for=None, auth=None):
    """Sends one request; returns (HTTP status, decoded body, raw answer)."""
    origin = proxy_for or port
    uri = "http://127.0.0.1:%d%s" % (origin, path)
    body = ipp_request(operation, uri) + document
    target = uri if proxy_for else path
    head = ["POST %s HTTP/1.1" % target, "Host: 127.0.0.1:%d" % origin, "Content-Type: application/ipp"]
    if auth:
        head.append("Authorization: Basic " + base64.b64encode(auth.encode()).decode())
    with socket.create_connection(("127.0.0.1", port), timeout=20) as conn:
        if chunked:
            conn.sendall(("\r\n".join(head + ["Transfer-Encoding: chunked"]) + "\r\n\r\n").encode())
            for at in range(0, len(body), 4096):
                piece = body[at:at + 4096]
                conn.sendall(b"%x\r\n%s\r\n" % (len(piece), piece))
            conn.sendall(b"0\r\n\r\n")
        else:
            conn.sendall(("\r\n".join(head + ["Content-Length: %d" % len(body)]) + "\r\n\r\n").encode() + body)
        raw = read_response(conn)
    status, decoded = decode_http(raw)
    return status, decoded, raw


def read_response(conn):
    raw = b""
    try:
        while len(raw) < 1 << 20:
            status, decoded = decode_http(raw, False)
            if status and decoded is not None:
                return raw
            piece = conn.recv(65536)
            if not piece:
                break
            raw += piece
    except (socket.timeout, ConnectionError):
        pass
    return raw


def decode_http(raw, ended=True):
    """(final status, body or None while incomplete); skips interim 1xx answers.
    A body without length or chunking is complete once the connection `ended`."""
    while True:
        if b"\r\n\r\n" not in raw:
            return 0, None
        head, rest = raw.split(b"\r\n\r\n", 1)
        lines = head.decode("latin-1").split("\r\n")
        status = int(lines[0].split(" ")[1])
        if 100 <= status < 200:
            raw = rest
            continue
        headers = {line.split(":", 1)[0].lower(): line.split(":", 1)[1].strip() for line in lines[1:] if ":" in line}
        if headers.get("transfer-encoding", "").lower() == "chunked":
            body = b""
            while b"\r\n" in rest:
                size_line, rest = rest.split(b"\r\n", 1)
                size = int(size_line.split(b";")[0], 16)
                if size == 0:
                    return status, body
                if len(rest) < size + 2:
                    return status, None
                body, rest = body + rest[:size], rest[size + 2:]
            return status, None
        if "content-length" in headers:
            length = int(headers["content-length"])
            return status, (rest[:length] if len(rest) >= length else None)
        return status, (rest if ended else None)


def ipp_values(body):
    """IPP status and {name: [values]} of a response."""
    status = struct.unpack(">H", body[2:4])[0]
    values, name, at = {}, None, 8
    while at < len(body) and body[at] != 0x03:
        tag = body[at]
        if tag < 0x10:
            at += 1
            continue
        length = struct.unpack(">H", body[at + 1:at + 3])[0]
        name = body[at + 3:at + 3 + length].decode() or name
        at += 3 + length
        size = struct.unpack(">H", body[at:at + 2])[0]
        value = body[at + 2:at + 2 + size]
        at += 2 + size
        if tag in (0x21, 0x23):
            value = struct.unpack(">i", value)[0]
        elif tag == 0x22:
            value = value == b"\x01"
        else:
            value = value.decode("utf-8", "replace")
        values.setdefault(name, []).append(value)
    return status, values


# ---- the checks --------------------------------------------------------------

def check_cups(work, port, proxy_port):
    jobs = os.path.join(work, "cups", "jobs")
    document = os.urandom(300000)
    status, body, _ = exchange(port, 0x0002, "/printers/raw", document)
    check(status == 200 and ipp_values(body)[0] == 0, "cupsd takes a counted Print-Job")
    status, body, _ = exchange(port, 0x0002, "/printers/raw", document[:100000], chunked=True)
    check(status == 200 and ipp_values(body)[0] == 0, "cupsd takes a chunked Print-Job")
    status, body, _ = exchange(proxy_port, 0x0002, "/printers/raw", document[:5000], chunked=True, proxy_for=port)
    check(status == 200 and ipp_values(body)[0] == 0, "the proxy forwards a chunked Print-Job to cupsd")
    for job, expected in ((1, document), (2, document[:100000]), (3, document[:5000])):
        stored = os.path.join(jobs, "job-%d.bin" % job)
        check(wait_file(stored, 20) and open(stored, "rb").read() == expected, "job %d captured byte-exact" % job)
    with open(os.path.join(jobs, "job-1.txt")) as text:
        check(text.read() == "alice\nReport\n", "the capture records user and title")
    with open(os.path.join(work, "proxy", "requests.log")) as log:
        check(log.read() == "1 POST http://127.0.0.1:%d/printers/raw HTTP/1.1\n" % port, "the proxy records the absolute form")

    status, _, raw = exchange(port, 0x000B, "/printers/auth")
    check(status == 401 and b"WWW-Authenticate: Basic" in raw, "auth: Get-Printer-Attributes without credentials gets 401")
    status, body, _ = exchange(port, 0x000B, "/printers/authjob")
    check(status == 200, "authjob: Get-Printer-Attributes is open")
    status, _, _ = exchange(port, 0x0002, "/printers/authjob", b"x" * 1000)
    check(status == 401, "authjob: Print-Job without credentials gets 401")
    status, body, _ = exchange(port, 0x0002, "/printers/authjob", b"y" * 1000, auth="ipptest:ipp-secret")
    check(status == 200 and ipp_values(body)[0] == 0, "authjob: Print-Job with the test user's credentials prints")

    status, body, _ = exchange(port, 0x000B, "/printers/stopped")
    values = ipp_values(body)[1] if status == 200 else {}
    check(values.get("printer-state") == [5] and values.get("printer-is-accepting-jobs") == [False] and
          values.get("printer-state-reasons") == ["paused", "media-jam-error", "toner-low-warning"],
          "stopped: state 5, not accepting, reasons paused,media-jam-error,toner-low-warning (%r)" % values)
    status, body, _ = exchange(port, 0x0002, "/printers/reject", b"z" * 100)
    check(status == 200 and ipp_values(body)[0] == 0x0506, "reject: Print-Job gets server-error-not-accepting-jobs")


def check_fault_server(work, port):
    record = os.path.join(work, "fault")
    status, body, raw = exchange(port, 0x000B, "/ipp")
    check(raw.startswith(b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n"), "interim-same: 100 and 200 together")
    status, values = ipp_values(body)
    check(values.get("printer-state") == [5] and values.get("printer-state-reasons") == ["paused", "media-jam-error"]
          and "printer-is-accepting-jobs" not in values, "stopped with reasons, printer-is-accepting-jobs left out")
    document = bytes(range(256)) * 100
    status, body, raw = exchange(port, 0x0002, "/ipp", document, chunked=True)
    check(status == 200 and b";name=value" in raw and b"X-Trailer-One" in raw and ipp_values(body)[1].get("job-id") == [2],
          "chunked-ext: chunk extensions, trailers, job-id of the connection")
    with open(os.path.join(record, "req-2.json")) as summary:
        info = json.load(summary)
    with open(os.path.join(record, "req-2.body"), "rb") as stored:
        stored = stored.read()
    check(info["framing"] == "chunked" and info["last_chunk"] and info["operation"] == 2 and info["version"] == "1.0"
          and info["request_id"] == 42 and stored[info["ipp_length"]:] == document
          and info["document_bytes"] == len(document), "the fault server records a chunked Print-Job")
    with open(os.path.join(record, "req-2.attrs"), "rb") as attrs:
        check(b"01 42 requesting-user-name=alice\n" in attrs.read(), "the fault server lists the attributes")
    status, body, raw = exchange(port, 0x000B, "/ipp")
    check(status == 200 and "Content-Length" not in raw.decode("latin-1") and ipp_values(body)[0] == 1,
          "close-delimited answer with status 0x0001")
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=5) as conn:
        request = ipp_request(0x000B, "http://127.0.0.1/ipp")
        conn.sendall(b"POST /ipp HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n%s" % (len(request), request))
        time.sleep(0.3)
        conn.settimeout(0.5)
        answer = conn.recv(65536)
        try:
            held = conn.recv(1) == b""
        except socket.timeout:
            held = True
    check(answer.startswith(b"HTTP/1.1 200 OK\r\n") and b"Content-Length: 99999999999999999999" in answer and held,
          "huge-length: the answer, and the connection held open")
    check(wait_event(record, "client-closed 4"), "the fault server logs the client's close")


def wait_event(record, prefix, seconds=5.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        with open(os.path.join(record, "events.log")) as events:
            if any(line.startswith(prefix) for line in events):
                return True
        time.sleep(0.05)
    return False


def main():
    if not only_loopback():
        if os.environ.get("IPP_PEERS_CHECK_INSIDE"):
            print("refusing to run outside a namespace with only lo")
            return 1
        environment = dict(os.environ, IPP_PEERS_CHECK_INSIDE="1")
        return subprocess.call(["unshare", "--net", "--", PYTHON, os.path.abspath(__file__)], env=environment)
    subprocess.call(["ip", "link", "set", "lo", "up"])
    work = tempfile.mkdtemp(prefix="ipp-peers-check-")
    cups_port, proxy_port, fault_port = free_port(), free_port(), free_port()
    peers = [os.path.join(work, name) for name in ("cups-peer", "proxy-peer", "fault-peer")]
    try:
        start(peers[0], [os.path.join(PEERS, "cups.sh"), os.path.join(work, "cups"), str(cups_port)], cups_port)
        start(peers[1], [PYTHON, os.path.join(PEERS, "http_proxy.py"), "--port", str(proxy_port),
                         "--dir", os.path.join(work, "proxy")])
        start(peers[2], [PYTHON, os.path.join(PEERS, "ipp_fault_server.py"), "--port", str(fault_port),
                         "--dir", os.path.join(work, "fault"), "--script",
                         "interim-same:state=5:reasons=paused,media-jam-error:accepting=absent chunked-ext "
                         "close-delimited:ignored huge-length:hold=5"])
        ready = [os.path.join(peers[0], "ready"), os.path.join(work, "proxy", "ready"), os.path.join(work, "fault", "ready")]
        check(all(wait_file(path) for path in ready), "the peers start")
        if not FAILURES:
            check_cups(work, cups_port, proxy_port)
            check_fault_server(work, fault_port)
    finally:
        for peer in peers:
            if os.path.exists(os.path.join(peer, "pid")):
                stop(peer)
        if not FAILURES:
            subprocess.call(["rm", "-rf", work])
        else:
            print("kept", work)
    print("%d failed" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
