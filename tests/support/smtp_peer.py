#!/usr/bin/python3
"""A real SMTP server (aiosmtpd) for the mail tests: plain, STARTTLS ("starttls"; "nostarttls":
EHLO without it), implicit TLS ("ssl"); with --user, mail only after AUTH (offered only over
TLS). Each message becomes DIR/NNNN.eml (the data as received) and, unless --no-json,
DIR/NNNN.json (what Python's email package read in it), each renamed into place and fsync'd
before the reply, so a mail acknowledged is a whole file on disk."""

import argparse
import email.utils
import itertools
import json
import logging
import os
import signal
import ssl
import warnings
from email import message_from_bytes, policy

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


def write(path, payload):
    temp = os.path.join(os.path.dirname(path), "." + os.path.basename(path) + ".tmp")
    with open(temp, "wb") as f:
        f.write(payload)
        f.flush()
        os.fsync(f.fileno())
    os.replace(temp, path)


class Store:
    def __init__(self, args):
        self.args = args
        self.numbers = itertools.count(1)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.args.refuse:
            return "550 5.1.1 recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        data = envelope.original_content
        name = os.path.join(self.args.dir, "%04d" % next(self.numbers))
        if not self.args.no_json:  # written first: a test that sees the .eml finds its .json
            msg = message_from_bytes(data, policy=policy.default)
            from_name, from_addr = email.utils.parseaddr(str(msg["From"] or ""))
            write(name + ".json", json.dumps({
                "from_name": from_name, "from_addr": from_addr, "to": str(msg["To"] or ""),
                "subject": str(msg["Subject"] or ""), "mail_from": envelope.mail_from,
                "defects": [type(d).__name__ for d in msg.defects],
                "long_lines": sum(len(l) > 78 for l in data.split(b"\r\n")),
                "first_line": data.split(b"\r\n\r\n", 1)[-1].split(b"\r\n")[0].decode("latin-1"),
                "tls": server.transport.get_extra_info("ssl_object") is not None,
                "login": session.auth_data.login.decode() if session.authenticated else None,
            }).encode())
        write(name + ".eml", data)
        return "250 2.0.0 stored"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--dir", required=True)
    ap.add_argument("--mode", default="plain", choices=["plain", "starttls", "ssl", "nostarttls"])
    for name in ("--cert", "--key", "--user"):
        ap.add_argument(name)
    ap.add_argument("--password", default="")
    ap.add_argument("--auth", choices=["PLAIN", "LOGIN"])
    ap.add_argument("--refuse", action="append", default=[])
    ap.add_argument("--no-json", action="store_true")
    a = ap.parse_args()
    # aiosmtpd's warnings (AUTH over implicit TLS, deprecations) are not the test's news.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)

    kw = {"hostname": "127.0.0.1", "port": a.port, "ident": "smtp_peer"}
    if a.mode in ("starttls", "ssl"):
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(a.cert, a.key)
        kw["tls_context" if a.mode == "starttls" else "ssl_context"] = context
    if a.user:
        # handled=False: aiosmtpd itself answers 535 to a refused login. It counts only
        # STARTTLS as TLS: over implicit TLS the login is allowed as is.
        def authenticator(server, session, envelope, mechanism, data):
            ok = (data.login, data.password) == (a.user.encode(), a.password.encode())
            return AuthResult(success=ok, handled=False, auth_data=data)
        kw.update(auth_required=True, auth_require_tls=a.mode != "ssl", authenticator=authenticator)
        if a.auth:
            kw["auth_exclude_mechanism"] = [m for m in ("PLAIN", "LOGIN") if m != a.auth]
    stop = {signal.SIGTERM, signal.SIGINT}
    signal.pthread_sigmask(signal.SIG_BLOCK, stop)  # also for the server's thread, started next
    controller = Controller(Store(a), **kw)
    controller.start()
    signal.sigwait(stop)
    controller.stop()


if __name__ == "__main__":
    main()
