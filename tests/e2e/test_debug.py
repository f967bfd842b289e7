"""Debug mode on the real program: the menu "Mode Debug" shows and hides the SMTP log window and
the page assembly window, which show the dialogue and the three texts of a change; the menu's
state is what "Corvane.cfg" holds after exit, and brings the windows back at the next start."""
import unittest

import harness as h

BINARY = h.binary_from_args()



SMTP = "LOG - Debug transfert smtp"
ASSEMBLY = "LOG - Debug assemblage fichier "
WINDOWS = (SMTP, ASSEMBLY)
IP = "198.51.100.77"
TEMPLATE = b"<?php $start = 0; $stop = 1; ?>\r\n<p>Adresse publi\xe9e :</p>\r\n"


def lines(data):
    """Bytes of a Windows-1252 file as the text a box shows, line ends as "\\n"."""
    return data.decode("cp1252").replace("\r\n", "\n")


class Debug(unittest.TestCase):
    def setUp(self):
        self.desktop = h.desktop()
        self.page = h.PhpPage()
        self.page.set_answer(IP)
        self.sink = h.SmtpSink()
        self.ftp = h.FtpServer("corvane", "secret")
        (self.ftp.root / "www").mkdir()
        cfg = h.corvane_cfg(
            self.page.url(), mail="1", upload="1", debug="0",
            smtp=[("Serveur smtp", self.sink.server), ("Message de", "veille@example.org"),
                  ("Sujet", "IP"), ("Message", "Nouvelle IP")],
            addresses=["owner@example.org"],
            ftp=[("Nom de domaine", "corvane"), ("Mot de passe", "secret"),
                 ("ftp hebergeur", self.ftp.host), ("fichier \u00e0 transferer", "date.php"),
                 ("emplacement et fichier", "/www/date.php")])
        self.p = h.Program(self.desktop, BINARY, cfg, {"date1.php": TEMPLATE})

    def tearDown(self):
        self.p.discard()
        self.ftp.close()
        self.sink.close()
        self.page.close()

    def shown(self):
        return [bool(self.p.window_id(t)) for t in WINDOWS]

    def wait_shown(self, state, what):
        h.wait_for(lambda: self.shown() == [state, state], 10, what)

    def box_texts(self, title):
        """The texts of a window's text boxes, from its top to its bottom."""
        frame = h.wait_for(lambda: self.p.frame(title), 10, f"the window {title!r}")
        boxes = self.p.find_all("text", frame)
        boxes.sort(key=lambda n: n.queryComponent().getPosition(0)[1])
        return [self.p.text_of(b) for b in boxes]

    def quit_and_read_mode(self):
        self.assertEqual(self.p.quit(), 0)
        cfg = self.p.path("Corvane.cfg").read_bytes()
        self.assertEqual(cfg.count(b"\r\nMode Debug="), 1)
        return b"Mode Debug=1\r\n" in cfg

    def test_menu_shows_hides_and_is_kept(self):
        self.p.start()
        self.assertEqual(self.shown(), [False, False])
        self.p.menu("Mode Debug")
        self.wait_shown(True, "both debug windows shown")

        self.p.press("Start")
        self.p.wait_log(rb"\nTransfert : OK\r\n", 30, "the upload's outcome")
        self.p.wait_log(rb"\nStart : \r\n", 10, "the Start entry")
        self.p.press("Stop")
        self.assertEqual(len(self.sink.files()), 1)

        # The dialogue log: each entry after a line break, the connection first, then the
        # server's greeting.
        head = "\nConnexion au serveur r\u00e9alis\u00e9e\n220 "
        log = h.wait_for(lambda: [t for t in self.box_texts(SMTP) if t.startswith(head)], 10,
                         "the connection line in the SMTP log")
        self.assertIn("\n250 ", log[0])

        fragment = self.p.path("ip_actu").read_bytes()
        self.assertIn(IP.encode(), fragment)
        self.assertEqual(self.box_texts(ASSEMBLY),
                         [lines(fragment), lines(TEMPLATE), lines(TEMPLATE + fragment)])

        self.p.menu("Mode Debug")
        self.wait_shown(False, "both debug windows hidden")
        self.assertFalse(self.quit_and_read_mode())

        # The next run starts with the windows hidden; ticking the menu is kept at exit.
        self.p.start()
        self.assertEqual(self.shown(), [False, False])
        self.p.menu("Mode Debug")
        self.wait_shown(True, "both debug windows shown")
        self.assertTrue(self.quit_and_read_mode())

        # Debug mode stored: both windows come up with the program.
        self.p.start()
        self.wait_shown(True, "both debug windows shown at start-up")
        self.assertTrue(self.quit_and_read_mode())


if __name__ == "__main__":
    unittest.main()
