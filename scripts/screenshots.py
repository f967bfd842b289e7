#!/usr/bin/python3
"""Screenshots of the real program under Xvfb, saved as PNG files in docs/.

Usage: /usr/bin/python3 scripts/screenshots.py [--binary=build/corvane]
The program runs in a temporary folder against a local detection page; the windows are driven
through the accessibility tree, as in the end-to-end tests.
"""
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness as h  # noqa: E402

DOCS = ROOT / "docs"
ALARM = "#FF8080"


def shoot(name, window):
    path = DOCS / name
    ids = h.window_ids(name=window)
    subprocess.run(["import", "-window", ids[-1] if ids else "root", "-frame", str(path)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    print("saved", path.relative_to(ROOT))
    return path


def has_colour(path, colour):
    out = subprocess.run(["convert", str(path), "-unique-colors", "txt:-"], capture_output=True,
                         text=True).stdout
    return colour.lower() in out.lower()


def main():
    args = [a.split("=", 1)[1] for a in sys.argv[1:] if a.startswith("--binary=")]
    binary = args[0] if args else str(ROOT / "build" / "corvane")
    DOCS.mkdir(exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="corvane-shots-"))
    desktop = h.Desktop()
    page = h.DetectionPage(work)
    page.set_answer("203.0.113.7")
    # Mail and upload on, against local servers, so the debug windows show a real dialogue
    # and a real page assembly.
    mail = h.MailServer(work / "mail")
    (work / "ftp" / "ma_page").mkdir(parents=True)
    ftp = h.FtpServer(work / "ftp", "demo", "demo")
    addresses = ["alice@example.org", "bob@example.org"]
    cfg = h.cfg_bytes({
        "IP": [("Derniere IP", "198.51.100.23")],
        "ADRESSE HTTP": [("adresse de IP detect.php", page.url())],
        "ADRESSE FTP": [("Nom de domaine", "demo"), ("Mot de passe", "demo"),
                        ("ftp hebergeur", ftp.host), ("fichier \u00e0 transferer", "date.php"),
                        ("emplacement et fichier", "/ma_page/date.php")],
        "OPTION": [("Sauve Log", "1"), ("Bip changement IP", "0"), ("Mail Auto", "1"),
                   ("Upload fichier", "1"), ("Mode Debug", "0")],
        "SMTP": [("Serveur smtp", mail.server), ("Message de", "veille"),
                 ("Sujet", "Changement IP"), ("Message", "Hello, voici ma nouvelle IP")] +
                [(f"Adresse N\u00b0{i + 1}", a) for i, a in enumerate(addresses)],
        "REGLAGE": [("Valeur_Bouton_Tempo", "0")],
    })
    template = (b"<?php $start = time() - 86400; $stop = time(); ?>\r\n"
                b"<h1>Ma station</h1>\r\n")
    p = h.Program(desktop, binary, work / "program", cfg, {"date1.php": template})
    try:
        p.start()
        p.press("Start")
        p.wait_log(rb"Transfert : OK", "the first change's upload")
        # The alarm blinks once a second: keep the picture where it is lit.
        for _ in range(6):
            shot = shoot("main-full.png", "Corvane")
            if has_colour(shot, ALARM):
                break
            time.sleep(0.5)
        p.menu("Reduit")
        time.sleep(0.8)
        shoot("main-reduced.png", "Corvane")
        p.menu("Complet")

        p.menu("?")
        h.wait_for(lambda: p.showing("Aide Corvane"), 10, "the help window")
        time.sleep(0.8)
        shoot("help-fr.png", "Aide Corvane")
        # The English picture (a click on it, as a person would).
        subprocess.run(["xdotool", "mousemove", "--window",
                        h.window_ids("Aide Corvane", p.pid)[0], "566", "16", "click", "1"],
                       check=False, timeout=10)
        time.sleep(0.8)
        shoot("help-en.png", "Aide Corvane")

        p.menu("About")
        h.wait_for(lambda: p.showing("About Brenn"), 10, "the about window")
        time.sleep(0.8)
        shoot("about.png", "About Brenn")

        p.menu("Mode Debug")
        h.wait_for(lambda: p.showing("LOG - Debug transfert smtp"), 10, "the smtp window")
        time.sleep(0.8)
        shoot("debug-smtp.png", "LOG - Debug transfert smtp")
        shoot("debug-page.png", "LOG - Debug assemblage fichier ")
        p.menu("Mode Debug")
        p.press("Stop")
        p.quit()
    finally:
        p.stop()
        for peer in (page, mail, ftp, desktop):
            peer.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
