#!/usr/bin/python3
"""Screenshots of the real program under Xvfb, saved as PNG files in docs/.

Usage: /usr/bin/python3 scripts/screenshots.py [--binary=build/corvane]
The program runs in a temporary folder against a local detection page; the windows are driven
through the accessibility tree, as in the end-to-end tests.
"""
import re
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness as h  # noqa: E402

DOCS = ROOT / "docs"
ALARM = "#FF8080"


def shoot(desktop, name, window):
    path = DOCS / name
    desktop.screenshot(path, window)
    print("saved", path.relative_to(ROOT))
    return path


def has_colour(path, colour):
    out = subprocess.run(["convert", str(path), "-unique-colors", "txt:-"], capture_output=True,
                         text=True).stdout
    return colour.lower() in out.lower()


def main():
    binary = h.binary_from_args()
    if not Path(binary).exists():
        binary = str(ROOT / "build" / "corvane")
    DOCS.mkdir(exist_ok=True)
    desktop = h.desktop()
    page = h.PhpPage()
    page.set_answer("203.0.113.7")
    # Mail and upload on, against local servers, so the debug windows show a real dialogue
    # and a real page assembly.
    sink = h.SmtpSink()
    ftp = h.FtpServer("demo", "demo")
    (ftp.root / "ma_page").mkdir()
    cfg = h.corvane_cfg(page.url(), last_ip="198.51.100.23", mail="1", upload="1",
                        smtp=[("Serveur smtp", sink.server), ("Message de", "veille"),
                              ("Sujet", "Changement IP"),
                              ("Message", "Hello, voici ma nouvelle IP")],
                        ftp=[("Nom de domaine", "demo"), ("Mot de passe", "demo"),
                             ("ftp hebergeur", ftp.host),
                             ("fichier \u00e0 transferer", "date.php"),
                             ("emplacement et fichier", "/ma_page/date.php")],
                        addresses=["alice@example.org", "bob@example.org"])
    template = (b"<?php $start = time() - 86400; $stop = time(); ?>\r\n"
                b"<h1>Ma station</h1>\r\n")
    p = h.Program(desktop, binary, cfg, {"date1.php": template})
    try:
        p.start()
        p.press("Start")
        p.wait_log(re.compile(rb"Transfert : OK"), 30, "the first change's upload")
        # The alarm blinks once a second: keep the picture where it is lit.
        for _ in range(6):
            shot = shoot(desktop, "main-full.png", "Corvane")
            if has_colour(shot, ALARM):
                break
            time.sleep(0.5)
        p.menu("Reduit")
        time.sleep(0.8)
        shoot(desktop, "main-reduced.png", "Corvane")
        p.menu("Complet")

        p.menu("?")
        h.wait_for(lambda: p.window_id("Aide Corvane"), 10, "the help window")
        time.sleep(0.8)
        shoot(desktop, "help-fr.png", "Aide Corvane")
        # The English picture (a click on it, as a person would).
        subprocess.run(["xdotool", "mousemove", "--window", p.window_id("Aide Corvane"),
                        "566", "16", "click", "1"], check=False)
        time.sleep(0.8)
        shoot(desktop, "help-en.png", "Aide Corvane")

        p.menu("About")
        h.wait_for(lambda: p.window_id("About Brenn"), 10, "the about window")
        time.sleep(0.8)
        shoot(desktop, "about.png", "About Brenn")

        p.menu("Mode Debug")
        h.wait_for(lambda: p.window_id("LOG - Debug transfert smtp"), 10, "the smtp window")
        time.sleep(0.8)
        shoot(desktop, "debug-smtp.png", "LOG - Debug transfert smtp")
        shoot(desktop, "debug-page.png", "LOG - Debug assemblage fichier ")
        p.menu("Mode Debug")
        p.press("Stop")
        p.quit()
    finally:
        p.cleanup()
        page.close()
        sink.close()
        ftp.close()


if __name__ == "__main__":
    main()
