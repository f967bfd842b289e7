#!/usr/bin/python3
"""A real SMTP server (aiosmtpd) for the mail tests: plain, STARTTLS ("starttls"; "nostarttls":
EHLO without it), implicit TLS ("ssl"); with --user, mail only after AUTH (offered only over
TLS). Each message becomes DIR/NNNN.eml (envelope lines, an empty line, the data as received)
and, unless --no-json, DIR/NNNN.json (what Python's email package read in it), each renamed
into place and fsync'd before the reply, so a mail acknowledged is a whole file on disk."""

import argparse
import email
import email.utils
import json
import logging
import os
import signal
import ssl
import threading
import warnings
from email import policy

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


def parsed(data):
    msg = email.message_from_bytes(data, policy=policy.default)
    name, addr = email.utils.parseaddr(str(msg["From"] or ""))
    return {"from_name": name, "from_addr": addr, "to": str(msg["To"] or ""),
            "subject": str(msg["Subject"] or ""),
            "defects": [type(d).__name__ for d in msg.defects],
            "longest_line": max(len(l) for l in data.split(b"\r\n"))}


class Store:
    def __init__(self, folder, refused, json_too):
        self.folder = folder
        self.refused = set(refused)
        self.json_too = json_too
        self.count = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refused:
            return "550 5.1.1 recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        head = "MAIL FROM:<%s>\r\n" % envelope.mail_from
        head += "".join("RCPT TO:<%s>\r\n" % r for r in envelope.rcpt_tos)
        head += "\r\n"
        files = [(".eml", head.encode("latin-1", "replace") + envelope.original_content)]
        if self.json_too:
            info = parsed(envelope.original_content)
            info["mail_from"] = envelope.mail_from
            info["tls"] = server.transport.get_extra_info("ssl_object") is not None
            info["login"] = (session.auth_data.login.decode("utf-8", "replace")
                             if session.authenticated and session.auth_data else None)
            files.insert(0, (".json", json.dumps(info).encode()))
        with self.lock:
            self.count += 1
            name = "%04d" % self.count
        for ext, payload in files:
            temp = os.path.join(self.folder, "." + name + ext + ".tmp")
            with open(temp, "wb") as f:
                f.write(payload)
                f.flush()
                os.fsync(f.fileno())
            os.replace(temp, os.path.join(self.folder, name + ext))
        return "250 2.0.0 stored"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--dir", required=True)
    ap.add_argument("--mode", default="plain", choices=["plain", "starttls", "ssl", "nostarttls"])
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--user")
    ap.add_argument("--password", default="")
    ap.add_argument("--auth", choices=["PLAIN", "LOGIN"])
    ap.add_argument("--refuse", action="append", default=[])
    ap.add_argument("--no-json", action="store_true")
    a = ap.parse_args()
    # aiosmtpd's warnings (AUTH over implicit TLS, deprecations) are not the test's news.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)

    context = None
    if a.mode in ("starttls", "ssl"):
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(a.cert, a.key)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (auth_data.login == a.user.encode() and auth_data.password == a.password.encode())
        # handled=False: aiosmtpd itself answers 535 to a refused login.
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    kw = {"hostname": "127.0.0.1", "port": a.port, "ident": "smtp_peer"}
    if a.mode == "starttls":
        kw["tls_context"] = context
    elif a.mode == "ssl":
        kw["ssl_context"] = context
    if a.user:
        # aiosmtpd only counts STARTTLS as TLS: over implicit TLS the login is allowed as is.
        kw.update(auth_required=True, auth_require_tls=a.mode != "ssl",
                  authenticator=authenticator)
        if a.auth:
            kw["auth_exclude_mechanism"] = [m for m in ("PLAIN", "LOGIN") if m != a.auth]
    controller = Controller(Store(a.dir, a.refuse, not a.no_json), **kw)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    try:
        while not stop.wait(0.5):
            pass
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
