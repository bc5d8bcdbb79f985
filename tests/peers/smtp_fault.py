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
Every other command gets 250. DIR/ready appears once it listens.
"""
import argparse
import os
import signal
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fault_server  # noqa: E402

ANSWERS = {("AUTH", "auth535"): "535 authentication failed", ("RCPT", "rcpt550"): "550 no such user",
           ("EHLO", None): "250-fault server\r\n250 AUTH PLAIN LOGIN", ("QUIT", None): "221 bye"}


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
                data = conn.recv(65536)
                if not data:
                    return
                buffer += data
            command, buffer = buffer.split(b"\r\n", 1)
            verb = command.split(b" ", 1)[0].decode("latin-1").upper()
            if verb == "DATA" and args.mode == "drop-data":
                say("354 go ahead")
                total = len(buffer)
                while total < args.after:
                    data = conn.recv(65536)
                    if not data:
                        break
                    total += len(data)
                return fault_server.reset(conn)
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
    parser.add_argument("--mode", required=True, choices=["silent", "greet421", "auth535", "rcpt550", "drop-data"])
    parser.add_argument("--after", type=int, default=0, help="drop-data: bytes read before the reset")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    return fault_server.serve(args, handle)


if __name__ == "__main__":
    sys.exit(main())
