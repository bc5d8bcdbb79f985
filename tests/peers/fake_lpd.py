#!/usr/bin/python3
"""A line printer daemon of our own for the tests, on 127.0.0.1.

It takes receive-job requests (RFC 1179) including the streamed form, in
which the data file is announced with the length 125899906843000 and ends
when the client closes the connection, and records every connection in DIR:

  DIR/conn-<n>.json   what happened: source port, queue, control and data
                      file names, the announced length, whether the job was
                      complete, how the connection ended, the steps acked
  DIR/conn-<n>.cf     the control file received on that connection
  DIR/conn-<n>.df     the data bytes received on that connection

Each file is written under a temporary name and renamed once the connection
has ended, so a test that sees conn-<n>.json sees all three.

Faults (each applies to the first --fault-count connections, default all):
  --nack STEP         answer 1 instead of 0 at STEP, one of receive-job,
                      control-command, control-file, data-command, end
  --reset-after N     reset the connection (RST) after N data bytes
  --stall-after N     stop reading after N data bytes (small receive buffer)
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

STREAMED_LENGTH = 125899906843000
TCP_CLOSE = 7
TCP_CLOSE_WAIT = 8
STEPS = ("receive-job", "control-command", "control-file", "data-command", "end")


class Closed(Exception):
    """The client closed or reset the connection."""


class Conn:
    def __init__(self, sock, number, args):
        self.sock = sock
        self.number = number
        self.args = args
        self.faulty = args.fault_count < 0 or number <= args.fault_count
        self.record = {"connection": number, "source_port": sock.getpeername()[1], "steps": [],
                       "complete": False, "ended": "open"}
        self.control = b""
        self.data = bytearray()

    def read(self, count):
        chunks = bytearray()
        while len(chunks) < count:
            piece = self.sock.recv(min(65536, count - len(chunks)))
            if not piece:
                raise Closed("closed")
            chunks += piece
        return bytes(chunks)

    def read_line(self, limit=1024):
        line = bytearray()
        while len(line) < limit:
            byte = self.sock.recv(1)
            if not byte:
                raise Closed("closed")
            if byte == b"\n":
                return bytes(line)
            line += byte
        raise Closed("line too long")

    # Acknowledges STEP; False when the fault said no (the job goes no further).
    def ack(self, step):
        code = 1 if self.faulty and self.args.nack == step else 0
        self.sock.sendall(bytes([code]))
        self.record["steps"].append("%s:%d" % (step, code))
        return code == 0

    # Keeps the connection without reading until the client closes or resets
    # it (seen in the kernel's TCP state, since nothing is read), or time is up.
    def hold(self):
        deadline = time.monotonic() + self.args.lifetime
        while time.monotonic() < deadline:
            state = self.sock.getsockopt(socket.IPPROTO_TCP, socket.TCP_INFO, 8)[0]
            if state == TCP_CLOSE:
                return "reset by client"
            if state == TCP_CLOSE_WAIT:
                return "closed by client"
            time.sleep(0.05)
        return "open"

    def receive_data(self, length):
        streamed = length == STREAMED_LENGTH
        limit = None if streamed else length
        reset_after = self.args.reset_after if self.faulty else -1
        stall_after = self.args.stall_after if self.faulty else -1
        while limit is None or len(self.data) < limit:
            want = 65536 if limit is None else min(65536, limit - len(self.data))
            for bound in (reset_after, stall_after):
                if bound >= 0:
                    want = min(want, max(bound - len(self.data), 0))
            if reset_after >= 0 and len(self.data) >= reset_after:
                self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.record["ended"] = "reset by server"
                raise Closed("reset")
            if stall_after >= 0 and len(self.data) >= stall_after:
                self.record["stalled"] = True
                self.record["ended"] = self.hold()
                raise Closed("stalled")
            piece = self.sock.recv(want)
            if not piece:
                if streamed:
                    self.record["complete"] = True
                    return False
                raise Closed("closed")
            self.data += piece
        end = self.read(1)
        self.record["end_byte"] = end[0]
        if end != b"\0" or not self.ack("end"):
            return False
        self.record["complete"] = True
        return True

    def sub_command(self):
        code = self.sock.recv(1)
        if not code:
            return False
        line = self.read_line().decode("latin-1")
        if code == b"\x01":  # abort job: nothing of it is kept
            self.record["aborted"] = True
            return False
        count_text, _, name = line.partition(" ")
        count = int(count_text)
        if code == b"\x02":
            self.record["control_name"] = name
            self.record["control_length"] = count
            if not self.ack("control-command"):
                return False
            self.control = self.read(count)
            if self.read(1) != b"\0":
                return False
            return self.ack("control-file")
        if code == b"\x03":
            self.record["data_name"] = name
            self.record["data_length"] = count_text
            if not self.ack("data-command"):
                return False
            return self.receive_data(count)
        return False

    def serve(self):
        try:
            if self.read(1) != b"\x02":
                return
            self.record["queue"] = self.read_line().decode("latin-1")
            if not self.ack("receive-job"):
                return
            while self.sub_command():
                pass
            if self.record["ended"] == "open":
                self.record["ended"] = "closed by client"
        except Closed:
            if self.record["ended"] == "open":
                self.record["ended"] = "closed by client"
        except (ConnectionResetError, BrokenPipeError):
            self.record["ended"] = "reset by client"
        except (OSError, ValueError) as error:
            self.record["ended"] = "error: %s" % error
        finally:
            self.sock.close()
            self.save()

    def save(self):
        base = os.path.join(self.args.dir, "conn-%d" % self.number)
        self.record["data_received"] = len(self.data)
        for suffix, content in ((".cf", self.control), (".df", bytes(self.data)),
                                (".json", json.dumps(self.record).encode())):
            with open(base + suffix + ".part", "wb") as out:
                out.write(content)
            os.replace(base + suffix + ".part", base + suffix)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=515)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--lifetime", type=float, default=60)
    parser.add_argument("--nack", choices=STEPS)
    parser.add_argument("--reset-after", type=int, default=-1)
    parser.add_argument("--stall-after", type=int, default=-1)
    parser.add_argument("--fault-count", type=int, default=-1)
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if args.stall_after >= 0:
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)
    listener.settimeout(0.2)
    deadline = time.monotonic() + args.lifetime
    number = 0
    while time.monotonic() < deadline:
        try:
            sock, _ = listener.accept()
        except socket.timeout:
            continue
        sock.settimeout(args.lifetime)
        number += 1
        threading.Thread(target=Conn(sock, number, args).serve, daemon=True).start()
    listener.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
