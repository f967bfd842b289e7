"""The real program against a real detection page: Start, a change, an unchanged check and a
failed check, driven through the accessibility tree; "corvane.log" and "Corvane.cfg" checked
byte for byte."""
import os
import unittest

import harness as h

BINARY = h.binary_from_args()


class Heart(unittest.TestCase):
    def setUp(self):
        self.desktop = h.desktop()
        self.page = h.PhpPage()
        self.programs = []

    def tearDown(self):
        for p in self.programs:
            p.cleanup()
        self.page.close()

    def program(self, url, folder=None):
        cfg = h.cfg_bytes({
            "IP": [("Derniere IP", "xxx.xxx.xxx.xxx")],
            "ADRESSE HTTP": [("adresse de IP detect.php", url)],
            "OPTION": [("Sauve Log", "1"), ("Bip changement IP", "0"), ("Mail Auto", "0"),
                       ("Upload fichier", "0"), ("Mode Debug", "0")],
            "REGLAGE": [("Valeur_Bouton_Tempo", "0")],
        })
        p = h.Program(self.desktop, BINARY, cfg)
        self.programs.append(p)
        return p

    def log(self, p):
        path = p.path("corvane.log")
        return path.read_bytes() if path.exists() else b""

    def start_stop(self, p, entries_before):
        """Start (an immediate check), wait for its entry, then Stop."""
        p.press("Start")
        h.wait_for(lambda: self.log(p).count(b"\nStart : \r\n") > entries_before, 20,
                   "the Start entry")
        p.press("Stop")
        h.wait_for(lambda: self.log(p).count(b"\nStop : \r\n") > entries_before, 20,
                   "the Stop entry")

    def test_change_cycle(self):
        # First run: the shipped detection page answers the caller's address.
        p = self.program(self.page.url("/php/ip_check.php")).start()
        self.start_stop(p, 0)
        self.assertIn("127.0.0.1", p.label_texts())
        self.assertEqual(p.quit(), 0)
        first = self.log(p)
        self.assertRegex(first, h.log_pattern([
            (b"Changement IP", b"127.0.0.1"), (b"Start : ", b"127.0.0.1"),
            (b"Stop : ", b"127.0.0.1")]))
        cfg = p.path("Corvane.cfg").read_bytes()
        self.assertIn(b"[IP]\r\nDerniere IP=127.0.0.1\r\n", cfg)
        self.assertIn(b"Valeur_Bouton_Tempo=0\r\n", cfg)
        self.assertEqual(os.stat(p.path("Corvane.cfg")).st_mode & 0o777, 0o600)
        self.assertEqual(p.path("ip_actu").read_bytes(),
                         b'<?php\r\necho "<img src=\\"http://127.0.0.1:81/graphs?format=jpg'
                         b'&starttime=$start&stoptime=$stop\\"></img><br><br>";\r\n?>\r\n')

        # Second run in the same folder, pointed at a page whose answer the test changes.
        p.path("Corvane.cfg").write_bytes(cfg.replace(
            self.page.url("/php/ip_check.php").encode(), self.page.url().encode()))
        self.page.set_answer("127.0.0.1")
        p.start()
        self.start_stop(p, 1)  # unchanged: no change entry
        self.page.set_answer("198.51.100.7")
        self.start_stop(p, 2)  # a change
        self.page.remove_answer()  # the page now answers 404 "Not Found"
        p.press("Start")
        box = h.wait_for(lambda: any("Erreur internet" in (n.name or "")
                                     for n in p.find_all("label")), 20, "the error box")
        self.assertTrue(box)
        h.wait_for(lambda: self.log(p).count(b"\nStart : \r\n") == 4, 20, "the Start entry")
        p.press("Stop")
        h.wait_for(lambda: self.log(p).count(b"\nStop : \r\n") == 4, 20, "the Stop entry")
        self.assertIn("198.51.100.7", p.label_texts())  # the failure changed nothing
        p.press("OK")  # the user closes the error box
        self.assertEqual(p.quit(), 0)

        whole = self.log(p)
        self.assertTrue(whole.startswith(first))
        self.assertRegex(whole, h.log_pattern([
            (b"Start : ", b"127.0.0.1"), (b"Stop : ", b"127.0.0.1"),
            (b"Changement IP", b"198.51.100.7"), (b"Start : ", b"198.51.100.7"),
            (b"Stop : ", b"198.51.100.7"),
            ("Erreur détection : HTTP 404".encode("cp1252"), b"198.51.100.7"),
            (b"Start : ", b"198.51.100.7"), (b"Stop : ", b"198.51.100.7")], head=first))
        self.assertIn(b"Derniere IP=198.51.100.7\r\n", p.path("Corvane.cfg").read_bytes())


if __name__ == "__main__":
    unittest.main()
