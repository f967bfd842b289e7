"""Change notification mails from the real program to a real SMTP server: Start finds a
change, every configured address gets one message, checked line by line on the server side,
and "corvane.log" holds the mailing report between the change and the Start entries."""
import datetime
import email
import email.policy
import email.utils
import re
import time
import unittest

import harness as h

BINARY = h.binary_from_args()



SENDER = "veille@example.org"
SUBJECT = "Changement d'adresse"
MESSAGE = "Nouvelle adresse réseau :"  # "é" travels as one Windows-1252 byte
NEW_IP = "198.51.100.23"
TEN = [f"user{i}@example.org" for i in range(1, 11)]
STAMP = re.compile(rb"(\d\d)/(\d\d)/(\d{4}) (\d{1,2})h(\d\d)'(\d\d) UTC")


def report(blocks):
    """The mailing report's text: one block per dialogue, (slot number, address, outcome) in
    order; an empty slot has no block, the others keep their number."""
    return b"".join(b"Mail N\xb0%d\r\n%s\r\n%s\r\n" % (n, a.encode(), outcome)
                    for n, a, outcome in blocks)


class Mail(unittest.TestCase):
    def setUp(self):
        self.desktop = h.desktop()
        self.page = h.PhpPage()
        self.page.set_answer(NEW_IP)
        self.cleanups = [self.page.close]

    def tearDown(self):
        for close in reversed(self.cleanups):
            close()

    def run_change(self, server, mail, addresses):
        """One program run: Start (a change), the Start entry, Stop, exit. The log, and the
        UTC instants that bound the change."""
        cfg = h.corvane_cfg(self.page.url(), mail=mail, addresses=addresses, smtp=[
            ("Serveur smtp", server), ("Message de", SENDER), ("Sujet", SUBJECT),
            ("Message", MESSAGE)])
        p = h.Program(self.desktop, BINARY, cfg)
        self.cleanups.append(p.discard)
        p.start()
        before = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        p.press("Start")
        p.wait_log(rb"\nStart : \r\n", 30, "the Start entry")
        after = datetime.datetime.now(datetime.timezone.utc)
        p.press("Stop")
        p.wait_log(rb"\nStop : \r\n", 10, "the Stop entry")
        self.assertEqual(p.quit(), 0)
        return p.log(), before, after

    def check_message(self, message, address, window):
        sender, rcpts, data = message
        self.assertEqual(sender, SENDER.encode())
        self.assertEqual(rcpts, [address.encode()])
        head, _, body = data.partition(b"\r\n\r\n")
        msg = email.message_from_bytes(head + b"\r\n\r\n", policy=email.policy.default)
        self.assertEqual([k for k, _ in msg.raw_items()],
                         ["Date", "Message-ID", "From", "To", "Subject", "MIME-Version",
                          "Content-Type", "Content-Transfer-Encoding"])
        self.assertEqual(msg["From"].addresses[0].addr_spec, SENDER)
        self.assertEqual(str(msg["To"]), address)
        self.assertEqual(str(msg["Subject"]), SUBJECT)
        self.assertEqual(msg.get_content_charset(), "windows-1252")
        self.assertEqual(msg["Content-Transfer-Encoding"], "8bit")
        self.assertTrue(str(msg["Message-ID"]).endswith("@example.org>"), msg["Message-ID"])
        self.assertIsNotNone(email.utils.parsedate_to_datetime(msg["Date"]).utcoffset())
        lines = body.split(b"\r\n")
        first = MESSAGE.encode("cp1252") + b" " + NEW_IP.encode() + b" at "
        self.assertTrue(lines[0].startswith(first), lines[0])
        stamp = STAMP.fullmatch(lines[0][len(first):])
        self.assertIsNotNone(stamp, lines[0])
        d, mo, y, hh, mi, s = map(int, stamp.groups())
        when = datetime.datetime(y, mo, d, hh, mi, s, tzinfo=datetime.timezone.utc)
        self.assertTrue(window[0] <= when <= window[1], (when, window))
        self.assertEqual(lines[1:], [b"  - Bye -", b"", b"-" * 56, b"This mail sent by a robot.",
                                     b"Don't reply at this automatic message.", b"", b""])
        return lines[0]

    def test_mailing_rows(self):
        # (row, addresses configured, refused by the server, dialogues in order)
        rows = [
            ("ten addresses", TEN, [], TEN),
            ("one refused", TEN[:4], [TEN[1]], TEN[:4]),
            ("empty slot skipped", [TEN[0], TEN[1], "", TEN[3], TEN[4]], [],
             [TEN[0], TEN[1], TEN[3], TEN[4]]),
        ]
        for row, addresses, refused, dialogues in rows:
            with self.subTest(row):
                sink = h.SmtpSink(refuse=refused)
                self.cleanups.append(sink.close)
                log, before, after = self.run_change(sink.server, "1", addresses)

                delivered = [a for a in dialogues if a not in refused]
                messages = sink.messages()
                self.assertEqual([m[1] for m in messages], [[a.encode()] for a in delivered])
                bodies = {self.check_message(m, a, (before, after))
                          for m, a in zip(messages, delivered)}
                self.assertEqual(len(bodies), 1, "one body, one stamp, for the whole mailing")

                outcome = {a: b"... expe ERREUR : 550 5.1.1 recipient refused" if a in refused
                           else b"... expe OK" for a in dialogues}
                slots = [(addresses.index(a) + 1, a, outcome[a]) for a in dialogues]
                self.assertRegex(log, h.log_pattern([
                    (b"Changement IP", NEW_IP.encode()),
                    (report(slots), NEW_IP.encode()),
                    (b"Start : ", NEW_IP.encode()), (b"Stop : ", NEW_IP.encode())]))

    def test_mail_off_opens_no_connection(self):
        listener = h.Listener()
        self.cleanups.append(listener.close)
        log, _, _ = self.run_change(listener.server, "0", TEN[:3])
        time.sleep(0.5)  # a connection attempt would have been accepted by now
        self.assertEqual(listener.count, 0)
        self.assertRegex(log, h.log_pattern([
            (b"Changement IP", NEW_IP.encode()), (b"Start : ", NEW_IP.encode()),
            (b"Stop : ", NEW_IP.encode())]))


if __name__ == "__main__":
    unittest.main()
