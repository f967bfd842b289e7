#!/usr/bin/python3
"""A real SMTP server for the mail tests: keeps every message it accepts as one file.

Usage: smtp_sink.py --port PORT --dir DIR [--refuse ADDRESS]...

Each message becomes DIR/NNNN.eml (NNNN counts from 0001 in arrival order), written to a
temporary name first and renamed, so a reader never sees half a file. The file holds:
    MAIL FROM:<sender>
    RCPT TO:<recipient>        (one line per accepted recipient)
    (empty line)
    the data exactly as received, dot-stuffing removed, CR LF kept
"""

import argparse
import os
import signal
import threading

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, folder, refused):
        self.folder = folder
        self.refused = set(refused)
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
        with self.lock:
            self.count += 1
            name = "%04d.eml" % self.count
        temp = os.path.join(self.folder, "." + name + ".tmp")
        with open(temp, "wb") as f:
            f.write(head.encode("latin-1", "replace") + envelope.original_content)
            f.flush()
            os.fsync(f.fileno())
        os.replace(temp, os.path.join(self.folder, name))
        return "250 2.0.0 stored"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--refuse", action="append", default=[])
    args = parser.parse_args()

    controller = Controller(Sink(args.dir, args.refuse), hostname="127.0.0.1", port=args.port)
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
