#!/usr/bin/python3
"""A print server of our own for the discovery tests: the UDP query protocol
of the print servers (search and internal port names), on 0.0.0.0.

It refuses to start unless the network namespace it runs in has no
interface but the loopback one: the monitor's search is a broadcast, and the
tests answer it only where nothing can leave the machine.

It binds UDP --port (19541 by default) and, with --source-port, a second
socket (9 by default for the scripts that need it), both on 0.0.0.0, and
records every datagram it receives in DIR:

  DIR/dgram-<n>.json  one datagram: the sender's address and port, the
                      destination address (IP_PKTINFO) and port, its size,
                      kind ("search", "port-name" or "other"), and for a
                      port-name request its operation and offset
  DIR/ready           once the sockets are bound
  DIR/answers.log     one line per answer sent (what and to whom)

Each file is written under a temporary name and renamed.

--script is a comma-separated list; the search scripts each add replies
to every search request, the port-name script answers the internal-port-name
requests:

  search (one reply or more per request, sent from --port unless said):
    normal        one server: MAC 00:80:92:00:00:01, model "NP-5300", 127.0.0.1
    model16       a 16-byte model without NUL ("ABCDEFGHIJKLMNOP"), MAC ..:02
    model16-sjis  16 bytes ending in a Shift_JIS character at bytes 14-15, MAC ..:03
    wrong-id      identifier 0x9507 (dropped), MAC ..:04
    short         a 10-byte reply (dropped)
    ip0           IP address 0 (dropped), MAC ..:05
    duplicate-mac the MAC of normal, again, with another address and model
    many          130 servers, MACs 00:80:92:01:00:00 .. 00:80:92:01:00:81
    port9         MAC ..:09 from the --source-port socket, then from --port
    port9-only    MAC ..:0a from the --source-port socket only
    mixed         four servers whose columns sort differently
    late          one server (MAC ..:0b) --delay-ms after the request
    amp           one server with "&" in its model (MAC ..:0c)
  port names (the answer is "\\x01" + names, each NUL-terminated):
    names         LPT1, COM1 and SCSI (lp_p1, lp_s1), in chunks of --chunk bytes
    unknown-names FOO and BAR only
    unterminated  LPT2 and then COM2 without its NUL
    long-name     a 40-character name, then PIO1
    wrong-offset  names, but the first reply to each chunk carries a wrong offset
    bad-length    every reply announces more bytes than it carries
    over-1024     1100 bytes of names in chunks of 512
    more-forever  more-data set with n = 0, for ever
    silence       no answer to port-name requests (search requests are
                  answered by the search scripts as usual)
    late-names    names, --delay-ms after each request

The server exits by itself after --lifetime seconds.
"""
import argparse
import json
import os
import socket
import struct
import sys
import threading
import time

# Linux's value; Python names it only from 3.12 on.
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)
SEARCH_REQUEST = 0x0004
SEARCH_REPLY = 0x0002
PROTOCOL_ID = 0x9506
SEARCH_SCRIPTS = {"normal", "model16", "model16-sjis", "wrong-id", "short", "ip0", "duplicate-mac", "many",
                  "port9", "port9-only", "mixed", "late", "amp"}
NAME_SCRIPTS = {"names", "unknown-names", "unterminated", "long-name", "wrong-offset", "bad-length", "over-1024",
                "more-forever", "silence", "late-names"}


def only_loopback():
    return [name for _, name in socket.if_nameindex()] == ["lo"]


def search_reply(mac, model, address, ident=PROTOCOL_ID, size=96):
    body = bytearray(size)
    struct.pack_into(">HH", body, 0, SEARCH_REPLY, ident)
    body[4:36] = b"\xee" * 32
    body[36:52] = model.ljust(16, b"\0")[:16]
    body[56:62] = bytes(mac)
    body[66:70] = socket.inet_aton(address)
    return bytes(body)


def mac(last, second=0x00):
    return [0x00, 0x80, 0x92, second, (last >> 8) & 0xFF, last & 0xFF]


class Server:
    def __init__(self, args):
        self.args = args
        self.scripts = [s for s in args.script.split(",") if s]
        unknown = set(self.scripts) - SEARCH_SCRIPTS - NAME_SCRIPTS
        if unknown:
            raise SystemExit("unknown script: %s" % ", ".join(sorted(unknown)))
        self.count = 0
        self.lock = threading.Lock()
        self.wrong_offset_sent = set()
        self.main = self.bind(args.port)
        self.extra = self.bind(args.source_port) if args.source_port else None

    def bind(self, port):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
        s.bind(("0.0.0.0", port))
        return s

    def write(self, name, text):
        path = os.path.join(self.args.dir, name)
        with open(path + ".part", "w") as out:
            out.write(text)
        os.rename(path + ".part", path)

    def log_answer(self, text):
        with self.lock:
            with open(os.path.join(self.args.dir, "answers.log"), "a") as out:
                out.write(text + "\n")

    def send(self, sock, data, to, what):
        sock.sendto(data, to)
        self.log_answer("%s -> %s:%d (%d bytes) from port %d" % (what, to[0], to[1], len(data), sock.getsockname()[1]))

    def record(self, sock, data, sender, destination):
        with self.lock:
            self.count += 1
            number = self.count
        record = {"n": number, "from": sender[0], "from_port": sender[1], "to": destination,
                  "to_port": sock.getsockname()[1], "size": len(data), "kind": "other"}
        if len(data) >= 4:
            first, second = struct.unpack_from(">HH", data, 0)
            if first == SEARCH_REQUEST and second == PROTOCOL_ID:
                record["kind"] = "search"
            elif second == 1 and data[4:17] == b"GET PORT_NAME" and len(data) >= 88:
                record["kind"] = "port-name"
                record["op"] = first
                record["offset"], record["max"] = struct.unpack_from(">HH", data, 84)
        self.write("dgram-%d.json" % number, json.dumps(record))
        return record

    # Search replies of every search script, in script order.
    def answer_search(self, sender):
        for script in self.scripts:
            if script == "normal":
                self.send(self.main, search_reply(mac(1), b"NP-5300", "127.0.0.1"), sender, script)
            elif script == "model16":
                self.send(self.main, search_reply(mac(2), b"ABCDEFGHIJKLMNOP", "127.0.0.2"), sender, script)
            elif script == "model16-sjis":
                self.send(self.main, search_reply(mac(3), b"ABCDEFGHIJKLMN\x83\x41", "127.0.0.3"), sender, script)
            elif script == "wrong-id":
                self.send(self.main, search_reply(mac(4), b"WRONG-ID", "127.0.0.4", ident=0x9507), sender, script)
            elif script == "short":
                self.send(self.main, search_reply(mac(6), b"SHORT", "127.0.0.6")[:10], sender, script)
            elif script == "ip0":
                self.send(self.main, search_reply(mac(5), b"NO-ADDRESS", "0.0.0.0"), sender, script)
            elif script == "duplicate-mac":
                self.send(self.main, search_reply(mac(1), b"NP-DUPLICATE", "127.0.0.99"), sender, script)
            elif script == "many":
                for i in range(130):
                    self.send(self.main, search_reply(mac(i, 0x01), b"MANY-%03d" % i,
                                                      "10.1.%d.%d" % (i // 250, i % 250 + 1)), sender, script)
            elif script in ("port9", "port9-only"):
                last = 9 if script == "port9" else 10
                self.send(self.extra, search_reply(mac(last), b"PORT-NINE", "127.0.0.9"), sender, script)
                if script == "port9":
                    time.sleep(0.02)
                    self.send(self.main, search_reply(mac(last), b"PORT-NINE", "127.0.0.9"), sender, script)
            elif script == "mixed":
                for last, model, address in ((0x31, b"Charlie", "10.0.0.9"), (0x21, b"alpha", "10.0.0.10"),
                                             (0x41, b"Bravo", "192.168.1.2"), (0x11, b"Delta", "10.0.0.100")):
                    self.send(self.main, search_reply(mac(last), model, address), sender, script)
            elif script == "late":
                timer = threading.Timer(self.args.delay_ms / 1000.0, self.send,
                                        (self.main, search_reply(mac(11), b"LATE", "127.0.0.11"), sender, script))
                timer.daemon = True
                timer.start()
            elif script == "amp":
                self.send(self.main, search_reply(mac(12), b"R&D-1 &&", "127.0.0.12"), sender, script)

    def answer_text(self, script):
        if script == "unknown-names":
            names = [b"FOO", b"BAR"]
        elif script == "long-name":
            names = [b"L" * 40, b"PIO1"]
        elif script == "over-1024":
            names = [b"N%04d" % i for i in range(190)]  # 190 * 6 = 1140 bytes
        else:
            names = [b"LPT1", b"COM1", b"SCSI"]
        answer = b"\x01" + b"".join(name + b"\0" for name in names)
        if script == "unterminated":
            answer = b"\x01LPT2\0COM2"
        return answer

    def chunk_reply(self, op, more, offset, data, announced=None):
        n = len(data) if announced is None else announced
        return struct.pack(">HHHH", op, more, offset, n) + data

    def answer_port_name(self, sock, record, sender):
        scripts = [s for s in self.scripts if s in NAME_SCRIPTS]
        if not scripts:
            return
        script = scripts[0]
        op, offset = record["op"], record["offset"]
        if script == "silence":
            return
        if op == 3:
            self.send(sock, self.chunk_reply(3, 0, offset, b""), sender, script + " end")
            return
        if script == "more-forever":
            self.send(sock, self.chunk_reply(op, 1, offset, b""), sender, script)
            return
        answer = self.answer_text(script)
        chunk = self.args.chunk if script != "over-1024" else 512
        data = answer[offset:offset + chunk]
        more = 1 if offset + len(data) < len(answer) else 0
        if script == "bad-length":
            reply = self.chunk_reply(op, more, offset, data, announced=len(data) + 5)
        elif script == "wrong-offset" and (op, offset) not in self.wrong_offset_sent:
            self.wrong_offset_sent.add((op, offset))
            reply = self.chunk_reply(op, more, offset + 1, data)
        else:
            reply = self.chunk_reply(op, more, offset, data)
        if script == "late-names":
            timer = threading.Timer(self.args.delay_ms / 1000.0, self.send, (sock, reply, sender, script))
            timer.daemon = True
            timer.start()
        else:
            self.send(sock, reply, sender, script)

    def receive(self, sock):
        data, ancillary, _, sender = sock.recvmsg(2048, socket.CMSG_SPACE(12))
        destination = None
        for level, kind, payload in ancillary:
            if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(payload) >= 12:
                destination = socket.inet_ntoa(payload[8:12])
        record = self.record(sock, data, sender, destination)
        if record["kind"] == "search" and sock is self.main:
            self.answer_search(sender)
        elif record["kind"] == "port-name":
            self.answer_port_name(sock, record, sender)

    def serve(self):
        import selectors
        selector = selectors.DefaultSelector()
        for sock in (self.main, self.extra):
            if sock:
                selector.register(sock, selectors.EVENT_READ)
        self.write("ready", "ready\n")
        deadline = time.monotonic() + self.args.lifetime
        while time.monotonic() < deadline:
            for key, _ in selector.select(timeout=0.2):
                self.receive(key.fileobj)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=19541)
    parser.add_argument("--source-port", type=int, default=0, help="a second bound port (9 for the port9 scripts)")
    parser.add_argument("--script", default="normal,names")
    parser.add_argument("--chunk", type=int, default=512, help="bytes per port-name chunk")
    parser.add_argument("--delay-ms", type=int, default=500)
    parser.add_argument("--lifetime", type=float, default=60)
    args = parser.parse_args()
    if not only_loopback():
        print("fake_print_server: refusing to run: this network namespace has interfaces besides lo",
              file=sys.stderr)
        return 3
    os.makedirs(args.dir, exist_ok=True)
    Server(args).serve()
    return 0


if __name__ == "__main__":
    sys.exit(main())
