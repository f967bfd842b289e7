"""Page publishing by the real program to a real FTP server: each change rewrites "ip_actu",
builds "date.php" from the owner's "date1.php" and uploads it; the console log shows the
transfer's dots and its outcome. Failure rows are further changes of the same run, with the
server's side changed in between. A last run meets a slow server and one that never answers."""
import re
import shutil
import socket
import tempfile
import threading
import time
import unittest
from pathlib import Path

import harness as h

BINARY = h.binary_from_args()



USER = "corvane"
DT = h.DATE_TIME
REASON = rb"(?: : [^\r\n]+)?"


def fragment(ip):
    return (b'<?php\r\necho "<img src=\\"http://' + ip.encode() +
            b':81/graphs?format=jpg&starttime=$start&stoptime=$stop\\"></img><br><br>";\r\n'
            b"?>\r\n")


def entry(libelle, ip):
    """A log entry; a failure's ends with " : " and its reason."""
    return (re.escape(b"\n" + libelle) + REASON + re.escape(b"\r\n") + DT +
            re.escape(b"\r\nIP = " + ip.encode() + b"\r\n"))


def dots_then(libelle, ip):
    """The transfer's progress (dots, "Transfert ftp ." at the connection) then its entry."""
    return rb"(?:\.|Transfert ftp \.)*\." + entry(libelle, ip)


class Publish(unittest.TestCase):
    def setUp(self):
        self.desktop = h.desktop()
        self.page = h.PhpPage()
        self.cleanups = [self.page.close]

    def tearDown(self):
        for close in reversed(self.cleanups):
            close()

    def program(self, server, password, remote, template):
        cfg = h.corvane_cfg(self.page.url(), upload="1", ftp=[
            ("Nom de domaine", USER), ("Mot de passe", password), ("ftp hebergeur", server.host),
            ("fichier \u00e0 transferer", "date.php"), ("emplacement et fichier", remote)])
        p = h.Program(self.desktop, BINARY, cfg, {"date1.php": template})
        self.cleanups.append(p.discard)
        return p.start()

    def change(self, p, ip, outcome):
        """Start with the page answering `ip` (a change), wait for the Start entry and the
        entry `outcome`, Stop. The part of the log this change wrote."""
        self.page.set_answer(ip)
        mark = len(p.log())
        p.press("Start")
        seen = re.escape(b"\n" + outcome) + REASON + re.escape(b"\r\n")
        wait = re.compile(seen + b".*" + re.escape(b"\nStart : \r\n") + b"|" +
                          re.escape(b"\nStart : \r\n") + b".*" + seen, re.S)
        h.wait_for(lambda: wait.search(p.log()[mark:]), 30, f"{outcome!r} and the Start entry")
        p.press("Stop")
        h.wait_for(lambda: b"\nStop : \r\n" in p.log()[mark:], 10, "the Stop entry")
        return p.log()[mark:]

    def check_uploaded(self, p, ip, template, remote_file):
        self.assertEqual(p.path("ip_actu").read_bytes(), fragment(ip))
        page = p.path("date.php").read_bytes()
        self.assertEqual(page, template + fragment(ip))
        self.assertEqual(remote_file.read_bytes(), page)

    def test_rows_in_one_run(self):
        password = "p:a@ss/w:rd"
        template = (b"<?php $start = time() - 3600; $stop = time(); ?>\r\n<html>\n"
                    b"<p>Caf\xe9 \"ouvert\" & <b>'l\xe0'</b></p>\r\n")
        server = h.FtpServer(USER, password)
        self.cleanups.append(server.close)
        (server.root / "www").mkdir()
        p = self.program(server, password, "/www/date.php", template)

        with self.subTest("password holding :@/"):
            ip = "203.0.113.7"
            part = self.change(p, ip, b"Transfert : OK")
            self.assertRegex(part, re.compile(
                entry(b"Changement IP", ip) + entry(b"Start : ", ip) +
                rb"\.\.Transfert ftp \.\.+" + entry(b"Transfert : OK", ip) +
                entry(b"Stop : ", ip) + rb"\Z", re.S))
            self.check_uploaded(p, ip, template, server.root / "www" / "date.php")
            self.assertEqual(server.tree(), ["www/", "www/date.php"])

        with self.subTest("missing remote folder"):
            ip = "203.0.113.8"
            (server.root / "www" / "date.php").unlink()
            (server.root / "www").rmdir()
            part = self.change(p, ip, b"Erreur fichier ftp!")
            self.assertRegex(part, re.compile(
                entry(b"Changement IP", ip) + entry(b"Start : ", ip) +
                dots_then(b"Erreur fichier ftp!", ip) + entry(b"Stop : ", ip) + rb"\Z", re.S))
            self.assertEqual(p.path("date.php").read_bytes(), template + fragment(ip))
            self.assertEqual(server.tree(), [])

        (server.root / "www").mkdir()
        failures = [
            ("wrong password", lambda: server.restart("autre"), "203.0.113.9"),
            ("stopped server", server.halt, "203.0.113.10"),
        ]
        for row, act, ip in failures:
            with self.subTest(row):
                act()
                part = self.change(p, ip, b"Erreur de connexion")
                self.assertRegex(part, re.compile(
                    entry(b"Changement IP", ip) + entry(b"Start : ", ip) +
                    dots_then(b"Erreur de connexion", ip) + entry(b"Stop : ", ip) + rb"\Z",
                    re.S))
                self.assertEqual(server.tree(), ["www/"])

        with self.subTest("missing date1.php"):
            ip = "203.0.113.11"
            server.restart(password)
            p.path("date1.php").unlink()
            before = p.path("date.php").read_bytes()
            part = self.change(p, ip, b"Page non publi\xe9e : date1.php absent")
            self.assertRegex(part, re.compile(
                entry(b"Changement IP", ip) + entry(b"Page non publi\xe9e : date1.php absent", ip) +
                entry(b"Start : ", ip) + entry(b"Stop : ", ip) + rb"\Z", re.S))
            self.assertEqual(p.path("ip_actu").read_bytes(), fragment(ip))
            self.assertEqual(p.path("date.php").read_bytes(), before)
            self.assertEqual(server.tree(), ["www/"])

        self.assertEqual(p.quit(), 0)
        self.assertEqual(server.tree(), ["www/"])  # nothing came late either
        for name, data in (("corvane.log", p.log()),
                           ("the program's output", h.read_bytes(p.output_path()))):
            self.assertNotIn(password.encode(), data, name)

    def test_remote_path_with_space(self):
        password = "secret"
        template = b"<p>Derni\xe8re adresse :</p>"  # no line break: the fragment runs on
        server = h.FtpServer(USER, password)
        self.cleanups.append(server.close)
        (server.root / "mon site").mkdir()
        p = self.program(server, password, "/mon site/page ip.php", template)
        ip = "192.0.2.44"
        part = self.change(p, ip, b"Transfert : OK")
        self.assertRegex(part, re.compile(
            entry(b"Changement IP", ip) + entry(b"Start : ", ip) +
            rb"\.\.Transfert ftp \.\.+" + entry(b"Transfert : OK", ip) +
            entry(b"Stop : ", ip) + rb"\Z", re.S))
        self.check_uploaded(p, ip, template, server.root / "mon site" / "page ip.php")
        self.assertEqual(server.tree(), ["mon site/", "mon site/page ip.php"])
        self.assertEqual(p.quit(), 0)
        self.assertNotIn(password.encode(), p.log())

    def test_slow_upload_then_silent_server(self):
        """Three changes while one slow upload runs: the first upload finishes with its own
        page, one more upload follows with the newest page, and the change in between never
        reaches the server. Then a server that accepts and never answers: the upload ends in
        bounded time with "Erreur de connexion"."""
        password = "secret"
        template = b"<!-- " + b"x" * 12000 + b" -->\r\n"
        port = h.free_port()
        root = Path(tempfile.mkdtemp(prefix="corvane-ftp-"))
        received = root.parent / (root.name + ".received")
        self.cleanups.append(lambda: shutil.rmtree(root, ignore_errors=True))
        self.cleanups.append(lambda: received.unlink(missing_ok=True))
        slow = h.Processes()
        self.cleanups.append(slow.close)
        slow.start([h.PYTHON, str(h.SOURCE / "tests" / "publish" / "ftp_lent.py"), str(port),
                    USER, password, str(root), str(received), "3000"])
        h.wait_port(port)
        server = type("Slow", (), {"host": f"127.0.0.1:{port}"})()
        p = self.program(server, password, "/date.php", template)

        def change(ip):
            self.page.set_answer(ip)
            starts = p.log().count(b"\nStart : \r\n")
            p.press("Start")
            h.wait_for(lambda: p.log().count(b"\nStart : \r\n") > starts, 30, "the Start entry")
            p.press("Stop")

        change("192.0.2.1")  # its upload takes about four seconds
        change("192.0.2.2")  # waits
        change("192.0.2.3")  # takes the waiting place: the newest page
        h.wait_for(lambda: p.log().count(b"\nTransfert : OK\r\n") == 2, 40, "two uploads")
        self.assertEqual(received.read_text().splitlines(), [str(root / "date.php")] * 2)
        self.assertEqual((root / "date.php").read_bytes(), template + fragment("192.0.2.3"))

        # A server that accepts the connection and never says a word.
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(4)
        self.cleanups.append(silent.close)
        held = []
        self.cleanups.append(lambda: [c.close() for c in held])
        threading.Thread(target=lambda: held.append(silent.accept()[0]), daemon=True).start()
        slow.close()
        p.quit()
        cfg = p.path("Corvane.cfg").read_bytes().replace(
            f"ftp hebergeur=127.0.0.1:{port}".encode(),
            f"ftp hebergeur=127.0.0.1:{silent.getsockname()[1]}".encode())
        p.path("Corvane.cfg").write_bytes(cfg)
        p.start()
        began = time.monotonic()
        change("192.0.2.4")
        h.wait_for(lambda: b"\nErreur de connexion : " in p.log(), 90, "the connection error")
        self.assertLess(time.monotonic() - began, 75)
        self.assertTrue(held, "the program did connect")
        self.assertEqual(p.quit(), 0)


if __name__ == "__main__":
    unittest.main()
