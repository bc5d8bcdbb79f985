#!/usr/bin/python3
"""An SMTP server for the tests and the demo: aiosmtpd on 127.0.0.1.

    smtp_sink.py --port 25 --dir DIR [--auth USER:PASSWORD] [--no-plain]
                 [--lifetime SECONDS]

With --auth every mail needs AUTH PLAIN or LOGIN (without TLS) with that
user and password; MAIL without it gets 530, a wrong password 535.
--no-plain offers AUTH LOGIN alone. Each accepted message N (1, 2, ...) is
recorded in DIR, the summary last, each file written under a temporary name:

  DIR/msg-N.eml    the message bytes exactly as received
  DIR/msg-N.att    the decoded attachment
  DIR/msg-N.txt    the decoded text part, in UTF-8
  DIR/msg-N.json   envelope sender and recipients, the authenticated user
                   and mechanism, the decoded subject and sender (UTF-8), the attachment's
                   file name, the charsets and transfer encodings of the parts
DIR/ready appears once the server listens. It ends after --lifetime seconds
(default 60) or on SIGTERM.
"""
import argparse
import email
import email.header
import email.policy
import email.utils
import json
import os
import re
import signal
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def write_file(path, data):
    with open(path + ".part", "wb") as out:
        out.write(data)
    os.replace(path + ".part", path)


def unfolded(value):
    return None if value is None else re.sub(r"\r?\n(?=[ \t])", "", value)


def decoded(value):
    if value is None:
        return None
    return str(email.header.make_header(email.header.decode_header(unfolded(value))))


def decoded_address(value):
    name, address = email.utils.parseaddr(unfolded(value) or "")
    return "%s <%s>" % (decoded(name), address) if name else address


class Recorder:
    def __init__(self, directory):
        self.dir = directory
        self.count = 0
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            number = self.count
        base = os.path.join(self.dir, "msg-%d" % number)
        raw = envelope.original_content
        write_file(base + ".eml", raw)
        message = email.message_from_bytes(raw, policy=email.policy.compat32)
        summary = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "auth_user": session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else None,
            "auth_mechanism": getattr(session, "auth_mechanism", None),
            "subject": decoded(message["Subject"]),
            "from": decoded_address(message["From"]),
            "to": unfolded(message["To"]),
            "parts": [],
        }
        for part in message.walk():
            if part.is_multipart():
                continue
            payload = part.get_payload(decode=True) or b""
            summary["parts"].append({
                "type": part.get_content_type(),
                "charset": part.get_content_charset(),
                "encoding": part["Content-Transfer-Encoding"],
                "filename": part.get_filename(),
            })
            if part.get_filename():
                write_file(base + ".att", payload)
                summary["filename"] = part.get_filename()
            elif part.get_content_type() == "text/plain":
                text = payload.decode(part.get_content_charset() or "ascii", errors="replace")
                write_file(base + ".txt", text.encode("utf-8"))
        write_file(base + ".json", json.dumps(summary, ensure_ascii=False).encode("utf-8"))
        return "250 Message accepted for delivery"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=25)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--auth", help="USER:PASSWORD that AUTH accepts; required when given")
    parser.add_argument("--no-plain", action="store_true", help="offer AUTH LOGIN only")
    parser.add_argument("--lifetime", type=float, default=60.0)
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)

    options = {}
    if args.auth:
        user, password = args.auth.split(":", 1)

        def authenticator(server, session, envelope, mechanism, data):
            ok = isinstance(data, LoginPassword) and data.login.decode() == user and data.password.decode() == password
            if ok:
                session.auth_mechanism = mechanism
            # handled=False: aiosmtpd itself answers 535 to a refused login.
            return AuthResult(success=ok, handled=False, auth_data=data if ok else None)

        options = {"authenticator": authenticator, "auth_required": True, "auth_require_tls": False}
        if args.no_plain:
            options["auth_exclude_mechanism"] = ["PLAIN"]
    controller = Controller(Recorder(args.dir), hostname="127.0.0.1", port=args.port, ready_timeout=10, **options)
    controller.start()
    write_file(os.path.join(args.dir, "ready"), b"")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        time.sleep(args.lifetime)
    finally:
        controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
