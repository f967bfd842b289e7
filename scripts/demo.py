#!/usr/bin/python3
"""Local demo rig: Corvane against a detection page, a mail server and an FTP server on
127.0.0.1, so a newcomer sees a whole change cycle without any account.

    demo.py start [--binary PATH] [--dir DIR]   servers, demo folder, the program; returns when
                                                the program ends (or on Ctrl-C / SIGTERM), after
                                                stopping every server it started
    demo.py change-ip [ADDRESS] [--dir DIR]     the page's next answer (a fresh documentation
                                                address when none is given)
    demo.py status [--dir DIR]                  where things are, what runs

The servers are those of the end-to-end tests (tests/e2e/harness.py), run as threads of the
rig. The demo folder (default: demo/ in the source tree) holds:
    program/   the program folder and working directory: corvane, Corvane.cfg, date1.php,
               and what the program writes there (corvane.log, ip_actu, date.php)
    mail/      a Maildir: one file per mail the SMTP server received, in mail/new/
    ftp/       the FTP root; the page lands in ftp/ma_page/date.php
    page/      page/answer is what the detection page answers
    logs/      the program's own output
    rig.json   ports and process ids of the running rig
"""
import argparse
import ctypes
import ipaddress
import json
import os
import random
import secrets
import shutil
import signal
import subprocess
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE / "tests" / "e2e"))
import harness as h  # noqa: E402  (the peers of the end-to-end tests)

MARKER = ".corvane-demo"
FIRST_ADDRESS = "192.0.2.10"
# Documentation ranges (RFC 5737): never anybody's real address.
CHANGE_RANGES = ("198.51.100.0/24", "203.0.113.0/24")
RECIPIENTS = ("alice@example.org", "bob@example.org", "carol@example.org")
FTP_USER = "demo"

# The owner's page template: the program appends the fragment that shows the graph image,
# which reads $start and $stop.
TEMPLATE = (
    "<?php\r\n"
    "// Demo page: Corvane appends the image of the graph server at the new address.\r\n"
    "$stop = time();\r\n"
    "$start = $stop - 86400;\r\n"
    "echo \"<h1>Corvane demo</h1><p>Page built on \" . date('d/m/Y H:i:s') . \"</p>\";\r\n"
    "?>\r\n"
)


class RigError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Small helpers


def alive(pid):
    """A process that has not ended (a zombie has: only its parent has not collected it)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, TypeError):
        return False


def die_with_parent():
    """The program gets SIGTERM if the rig itself is killed outright, so nothing is left over."""
    try:
        ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except OSError:
        pass


def demo_cfg(page_url, smtp_port, ftp_port, ftp_password):
    """Every key in the order the program writes them, mail and upload on, interval 2'."""
    adresses = [(f"Adresse N°{i + 1}", a) for i, a in enumerate(RECIPIENTS)]
    adresses.append((f"Adresse N°{len(RECIPIENTS) + 1}", '""'))  # ends the list
    return h.cfg_bytes([
        ("Mot de passe", [("raz", "non")]),
        ("IP", [("Derniere IP", FIRST_ADDRESS)]),
        ("ADRESSE HTTP", [("adresse de IP detect.php", page_url)]),
        ("ADRESSE FTP", [("Nom de domaine", FTP_USER), ("Mot de passe", ftp_password),
                         ("ftp hebergeur", f"127.0.0.1:{ftp_port}"),
                         ("fichier à transferer", "date.php"),
                         ("emplacement et fichier", "/ma_page/date.php")]),
        ("SERVER", [("N°port In", "81")]),
        ("OPTION", [("Bip changement IP", "1"), ("Sauve Log", "1"), ("Upload fichier", "1"),
                    ("Mail Auto", "1"), ("Mode Debug", "0"), ("Color text console", "1")]),
        ("SMTP", [("Serveur smtp", f"127.0.0.1:{smtp_port}"), ("Message de", "corvane_demo"),
                  ("Sujet", "Changement IP"), ("Message", "Hello, voici ma nouvelle IP"),
                  *adresses]),
        ("REGLAGE", [("Valeur_Bouton_Tempo", "0"), ("Langage Int", "non"),
                     ("Taille fenetre", "complet"), ("Toujours visible", "non")]),
    ])


class Folder:
    def __init__(self, root):
        self.root = Path(root).resolve()
        self.program = self.root / "program"
        self.mail = self.root / "mail"
        self.ftp = self.root / "ftp"
        self.page = self.root / "page"
        self.logs = self.root / "logs"
        self.state = self.root / "rig.json"
        self.answer = self.page / "answer"
        self.upload = self.ftp / "ma_page" / "date.php"

    def read_state(self):
        try:
            return json.loads(self.state.read_text())
        except (OSError, ValueError):
            return None

    def running_pids(self):
        state = self.read_state() or {}
        return {name: pid for name, pid in state.get("pids", {}).items() if alive(pid)}

    def mails(self):
        return sorted((self.mail / "new").glob("*"))

    def prepare(self):
        """A fresh demo each start; only a folder the rig made itself is ever emptied."""
        if self.root.exists():
            if not self.root.is_dir():
                raise RigError(f"{self.root} exists and is not a folder")
            if any(self.root.iterdir()) and not (self.root / MARKER).exists():
                raise RigError(f"{self.root} is not empty and is not a demo folder; "
                               "choose another with --dir")
            running = self.running_pids()
            if running:
                raise RigError(f"a demo already runs in {self.root} (process ids "
                               f"{', '.join(map(str, running.values()))}); close its program first")
            for sub in (self.program, self.mail, self.ftp, self.page, self.logs):
                shutil.rmtree(sub, ignore_errors=True)
            self.state.unlink(missing_ok=True)
        self.root.mkdir(parents=True, exist_ok=True)
        (self.root / MARKER).write_text("Made by scripts/demo.py; emptied at each start.\n")
        for sub in (self.program, self.ftp / "ma_page", self.page, self.logs):
            sub.mkdir(parents=True, exist_ok=True)


# ---------------------------------------------------------------------------------------------
# The rig


class Rig:
    def __init__(self, folder, binary):
        self.folder = folder
        self.binary = binary
        self.peers = []
        self.procs = h.Processes()

    def start_servers(self):
        f = self.folder
        h.write_atomically(f.answer, FIRST_ADDRESS.encode())
        self.page = h.DetectionPage(f.page)
        self.peers.append(self.page)
        self.mail = h.MailServer(f.mail)
        self.peers.append(self.mail)
        self.ftp_password = secrets.token_hex(6)
        self.ftp = h.FtpServer(f.ftp, FTP_USER, self.ftp_password)
        self.peers.append(self.ftp)
        self.ports = {"page": self.page.port, "smtp": self.mail.port, "ftp": self.ftp.port}

    def write_program_folder(self):
        f = self.folder
        shutil.copy2(self.binary, f.program / "corvane")
        # The file holds the FTP password: owner-only, as the program keeps it.
        h.write_atomically(f.program / "Corvane.cfg",
                           demo_cfg(self.page.url(), self.mail.port, self.ftp.port,
                                    self.ftp_password), mode=0o600)
        h.write_atomically(f.program / "date1.php", TEMPLATE.encode("cp1252"))

    def run_program(self):
        f = self.folder
        with open(f.logs / "program.log", "ab") as log:
            program = self.procs.start([str(f.program / "corvane")], cwd=f.program, stdout=log,
                                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                       preexec_fn=die_with_parent)
        state = {"folder": str(f.root), "ports": self.ports,
                 "pids": {"rig": os.getpid(), "program": program.pid}}
        h.write_atomically(f.state, json.dumps(state, indent=2).encode())
        print(instructions(f, self.ports), flush=True)
        return program.wait()

    def stop(self):
        # A second Ctrl-C must not cut the clean-up short and leave a server behind.
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(sig, signal.SIG_IGN)
        # The program first, so that it sends nothing to a server that is going away.
        self.procs.close()
        for peer in reversed(self.peers):
            peer.close()
        self.peers.clear()
        self.folder.state.unlink(missing_ok=True)


def instructions(f, ports):
    return f"""
Corvane demo is running (everything on 127.0.0.1).
  detection page  http://127.0.0.1:{ports['page']}/ip_check.php  answers {FIRST_ADDRESS}
  mail server     127.0.0.1:{ports['smtp']}  keeps each mail in {f.mail}/new/
  FTP server      127.0.0.1:{ports['ftp']}  root {f.ftp}/

1. In the Corvane window, press Start: the address {FIRST_ADDRESS} shows, and as it is the
   last known one, nothing changes.
2. In another terminal, change the address the page answers:
       bash scripts/demo-change-ip.sh{'' if f.root == (SOURCE / 'demo') else ' --dir ' + str(f.root)}
   The next check (within 2 minutes; or press Stop then Start for one at once) shows the
   change: the blinking alarm (click the address to acknowledge it) and the sound,
   a log entry in the window and in {f.program / 'corvane.log'},
   one mail per address in {f.mail}/new/,
   the uploaded page {f.upload}.
Close the Corvane window (answer Yes) or press Ctrl-C here to stop the demo.
"""


def signal_to_exit(signum, _frame):
    raise SystemExit(128 + signum)


def cmd_start(args):
    binary = Path(args.binary).resolve()
    if not binary.is_file() or not os.access(binary, os.X_OK):
        raise RigError(f"no program at {binary}; build it first (bash scripts/run.sh) or "
                       "give --binary")
    if not (os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY") or
            os.environ.get("QT_QPA_PLATFORM")):
        raise RigError("no desktop to show the program on (DISPLAY is not set)")
    folder = Folder(args.dir)
    folder.prepare()
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, signal_to_exit)
    rig = Rig(folder, binary)
    try:
        rig.start_servers()
        rig.write_program_folder()
        rc = rig.run_program()
    except SystemExit as interrupted:
        rig.stop()
        print("\ndemo: interrupted; the program and every server are stopped.", flush=True)
        return interrupted.code
    finally:
        rig.stop()
    print(f"demo: the program ended (exit code {rc}); every server is stopped.\n"
          f"demo: {len(folder.mails())} mail(s) in {folder.mail}/new/, page "
          f"{'uploaded to ' + str(folder.upload) if folder.upload.exists() else 'not uploaded'}.")
    return 0 if rc == 0 else 1


def fresh_address(current):
    while True:
        net = ipaddress.ip_network(random.choice(CHANGE_RANGES))
        address = str(net.network_address + random.randint(1, net.num_addresses - 2))
        if address != current:
            return address


def cmd_change_ip(args):
    folder = Folder(args.dir)
    if not folder.page.is_dir():
        raise RigError(f"no demo in {folder.root}; start it first: bash scripts/run.sh")
    try:
        current = folder.answer.read_text().strip()
    except OSError:
        current = ""
    if args.address is None:
        address = fresh_address(current)
    else:
        try:
            address = str(ipaddress.ip_address(args.address.strip()))
        except ValueError:
            raise RigError(f"{args.address!r} is not an IP address; the page answer is "
                           f"unchanged ({current or 'none'})") from None
    h.write_atomically(folder.answer, address.encode())
    print(f"demo: the detection page now answers {address} (was {current or 'nothing'}).")
    if folder.running_pids().get("program"):
        print("demo: the next check shows the change: within 2 minutes, or press Stop then "
              "Start in the Corvane window.")
    else:
        print("demo: the demo is not running; start it with: bash scripts/run.sh")
    return 0


def cmd_status(args):
    folder = Folder(args.dir)
    state = folder.read_state()
    running = folder.running_pids()
    print(f"demo folder   {folder.root}")
    if state and running:
        ports = state.get("ports", {})
        print(f"running       {', '.join(f'{n} (pid {p})' for n, p in running.items())}")
        print(f"ports         page {ports.get('page')}, smtp {ports.get('smtp')}, "
              f"ftp {ports.get('ftp')} on 127.0.0.1")
    else:
        print("running       nothing")
    if folder.answer.exists():
        print(f"page answers  {folder.answer.read_text().strip()}")
    print(f"mails         {len(folder.mails())} in {folder.mail}/new/")
    print(f"upload        {folder.upload if folder.upload.exists() else 'none yet'}")
    print(f"program log   {folder.program / 'corvane.log'}")
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description="Corvane's local demo rig.")
    parser.add_argument("--dir", default=str(SOURCE / "demo"),
                        help="demo folder (default: demo/ in the source tree)")
    sub = parser.add_subparsers(dest="command", required=True)
    start = sub.add_parser("start", help="start the servers and the program")
    start.add_argument("--binary", default=str(SOURCE / "build" / "corvane"),
                       help="the corvane program to run (default: build/corvane)")
    change = sub.add_parser("change-ip", help="change the address the demo page answers")
    change.add_argument("address", nargs="?", help="the new answer (default: a fresh "
                        "documentation address)")
    sub.add_parser("status", help="where things are, what runs")
    # --dir is accepted before or after the command.
    for p in (start, change, sub.choices["status"]):
        p.add_argument("--dir", default=argparse.SUPPRESS, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    try:
        return {"start": cmd_start, "change-ip": cmd_change_ip, "status": cmd_status}[
            args.command](args)
    except RigError as e:
        print(f"demo: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
