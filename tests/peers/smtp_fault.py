#!/usr/bin/python3
"""An SMTP server on 127.0.0.1 that fails on purpose, for the mailer's tests:

    smtp_fault.py --port 25 --dir DIR --mode MODE [--after N] [--lifetime S]

Modes:
  silent     accept, then never answer (the client's read times out)
  greet421   greet with "421 service not available" and close
  auth535    offer AUTH PLAIN LOGIN and refuse every AUTH with 535
  rcpt550    refuse every RCPT with 550
  drop-data  answer DATA with 354, read --after bytes of the mail, then
             reset the connection
Every other command gets 250. DIR/ready appears once it listens; each
connection's commands go to DIR/events.log ("N> COMMAND", AUTH arguments
left out), plus "accept N" and "closed N". Built on fault_server.serve().
"""
import argparse
import os
import signal
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fault_server  # noqa: E402


class Dialogue:
    def __init__(self, conn, index, args, record):
        self.conn, self.index, self.args, self.record = conn, index, args, record
        self.buffer = b""

    def line(self):
        while b"\r\n" not in self.buffer:
            if time.monotonic() >= self.args.deadline:
                return None
            try:
                data = self.conn.recv(65536)
            except socket.timeout:
                continue
            except ConnectionError:
                return None
            if not data:
                return None
            self.buffer += data
        text, self.buffer = self.buffer.split(b"\r\n", 1)
        return text.decode("latin-1")

    def say(self, text):
        self.conn.sendall(text.encode("ascii") + b"\r\n")

    def drop_data(self):
        self.say("354 go ahead")
        total = len(self.buffer)
        while total < self.args.after:
            try:
                data = self.conn.recv(65536)
            except socket.timeout:
                continue
            if not data:
                break
            total += len(data)
        self.record.event("dropped %d %d" % (self.index, total))
        fault_server.reset(self.conn)

    def run(self):
        mode = self.args.mode
        if mode == "silent":
            while self.line() is not None:
                pass
            return
        if mode == "greet421":
            self.say("421 service not available")
            return
        self.say("220 fault server ready")
        while True:
            command = self.line()
            if command is None:
                return
            verb = command.split(" ", 1)[0].upper()
            self.record.event("%d> %s" % (self.index, "AUTH" if verb == "AUTH" else command))
            if verb == "EHLO":
                self.say("250-fault server")
                self.say("250 AUTH PLAIN LOGIN")
            elif verb == "AUTH" and mode == "auth535":
                self.say("535 authentication failed")
            elif verb == "RCPT" and mode == "rcpt550":
                self.say("550 no such user")
            elif verb == "DATA" and mode == "drop-data":
                self.drop_data()
                return
            elif verb == "QUIT":
                self.say("221 bye")
                return
            else:
                self.say("250 ok")


def handle(conn, index, args, record):
    try:
        Dialogue(conn, index, args, record).run()
    except OSError:
        pass
    try:
        conn.close()
    except OSError:
        pass
    record.event("closed %d" % index)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    fault_server.add_common_arguments(parser)
    parser.add_argument("--mode", required=True, choices=["silent", "greet421", "auth535", "rcpt550", "drop-data"])
    parser.add_argument("--after", type=int, default=0, help="drop-data: bytes read before the reset")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return fault_server.serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
