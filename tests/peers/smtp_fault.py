#!/usr/bin/python3
"""An SMTP server on 127.0.0.1 that fails on purpose, for the mailer's tests:

    smtp_fault.py --port 25 --dir DIR --mode MODE [--after N] [--delay S]
                  [--rcvbuf BYTES] [--lifetime S]

Modes:
  silent       accept, then never answer (the client's read times out)
  greet421     greet with "421 service not available" and close
  auth535      offer AUTH PLAIN LOGIN and refuse every AUTH with 535
  no-auth      offer no AUTH in the EHLO reply
  ehlo500      refuse EHLO with 500 (HELO is accepted)
  endless-ehlo answer EHLO with "250-" lines without end
  mail550      refuse MAIL with 550
  mail530      refuse MAIL with 530 (authentication required)
  rcpt550      refuse every RCPT with 550
  drop-data    answer DATA with 354, read --after bytes of the mail, then
               reset the connection
  data552      refuse the mail at its end with 552
  data-stop    answer DATA with 354, then read nothing more: with a small
               --rcvbuf the client's sends block once the socket buffers
               are full, and stay blocked until the client gives up
  data-silent  never answer the end of the mail
  data-slow    answer the end of the mail with 250 after --delay seconds
Every other command gets 250; DATA gets 354 and the mail is read up to its
closing ".". DIR/ready appears once it listens; DIR/commands.log gets every
command line received (not the mail data).
"""
import argparse
import os
import signal
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fault_server  # noqa: E402

MODES = ["silent", "greet421", "auth535", "no-auth", "ehlo500", "endless-ehlo", "mail550", "mail530", "rcpt550",
         "drop-data", "data552", "data-stop", "data-silent", "data-slow"]
ANSWERS = {("AUTH", "auth535"): "535 authentication failed", ("RCPT", "rcpt550"): "550 no such user",
           ("MAIL", "mail550"): "550 sender refused", ("MAIL", "mail530"): "530 authentication required",
           ("EHLO", "ehlo500"): "500 command not recognized", ("EHLO", "no-auth"): "250 fault server",
           ("EHLO", None): "250-fault server\r\n250 AUTH PLAIN LOGIN", ("QUIT", None): "221 bye"}
END_OF_DATA = b"\r\n.\r\n"


def receive(conn, buffer):
    """More bytes appended to `buffer`; None once the client has closed."""
    while True:
        try:
            data = conn.recv(65536)
        except TimeoutError:
            continue
        return buffer + data if data else None


def read_mail(conn, buffer, args):
    """Reads the mail after 354 up to its closing line; the bytes after it, or None."""
    buffer = b"\r\n" + buffer  # the closing line may come first
    total = 0
    while END_OF_DATA not in buffer:
        if args.mode == "drop-data" and total >= args.after:
            fault_server.reset(conn)
            return None
        more = receive(conn, buffer[-4:])
        if more is None:
            return None
        total += len(more) - len(buffer[-4:])
        buffer = more
    return buffer.split(END_OF_DATA, 1)[1]


def stop_reading(args):
    """Reads nothing more until the lifetime ends (the test stops the server first)."""
    while time.monotonic() < args.deadline:
        time.sleep(0.05)


def end_of_mail(conn, args, say):
    """The answer to the end of the mail; False when the connection is to end."""
    if args.mode == "data-silent":
        while receive(conn, b"") is not None:
            pass
        return False
    if args.mode == "data-slow":
        time.sleep(args.delay)
    say("552 message too big" if args.mode == "data552" else "250 ok")
    return True


def endless_lines(conn):
    while True:
        conn.sendall(b"250-and one more capability line\r\n" * 100)


def handle(conn, index, args, record):
    conn.settimeout(args.lifetime)
    say = lambda text: conn.sendall(text.encode("ascii") + b"\r\n")  # noqa: E731
    try:
        if args.mode == "silent":
            while conn.recv(65536):
                pass
            return
        if args.mode == "greet421":
            return say("421 service not available")
        say("220 fault server ready")
        buffer = b""
        while True:
            while b"\r\n" not in buffer:
                buffer = receive(conn, buffer)
                if buffer is None:
                    return
            command, buffer = buffer.split(b"\r\n", 1)
            record.event(command.decode("latin-1"), "commands.log")
            verb = command.split(b" ", 1)[0].decode("latin-1").upper()
            if verb == "EHLO" and args.mode == "endless-ehlo":
                return endless_lines(conn)
            if verb == "DATA":
                say("354 go ahead")
                if args.mode == "data-stop":
                    return stop_reading(args)
                buffer = read_mail(conn, buffer, args)
                if buffer is None or not end_of_mail(conn, args, say):
                    return
                continue
            say(ANSWERS.get((verb, args.mode), ANSWERS.get((verb, None), "250 ok")))
            if verb == "QUIT":
                return
    except OSError:
        pass
    finally:
        conn.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    fault_server.add_common_arguments(parser)
    parser.add_argument("--mode", required=True, choices=MODES)
    parser.add_argument("--after", type=int, default=0, help="drop-data: bytes read before the reset")
    parser.add_argument("--delay", type=float, default=0.0, help="data-slow: seconds before the answer")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return fault_server.serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
