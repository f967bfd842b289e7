"""The local demo rig (scripts/demo.py) with the real program: the rig starts its servers and
the program, Start shows no change, the rig's change command makes the next check send the
mails and upload the page, and closing the program stops every server the rig started."""
import ipaddress
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import unittest
from pathlib import Path

import harness as h

BINARY = h.binary_from_args()
DEMO = h.SOURCE / "scripts" / "demo.py"
RECIPIENTS = [b"alice@example.org", b"bob@example.org", b"carol@example.org"]


def running(pid):
    """A process that has not ended (a zombie has: only its parent has not collected it)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class Rig(unittest.TestCase):
    def setUp(self):
        self.desktop = h.desktop()
        self.tmp = Path(tempfile.mkdtemp(prefix="corvane-rig-"))
        self.dir = self.tmp / "demo"
        self.rig = None

    def tearDown(self):
        if self.rig is not None:
            self.desktop.stop(self.rig)
            self.out.close()
        # Whatever the outcome, nothing the rig started may outlive the test.
        state = getattr(self, "state", None) or {}
        for pid in state.get("pids", {}).values():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        shutil.rmtree(self.tmp, ignore_errors=True)

    def demo(self, *args):
        return subprocess.run([h.PYTHON, str(DEMO), "--dir", str(self.dir), *args],
                              capture_output=True, text=True, timeout=30)

    def start_rig(self):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.out = open(self.tmp / "rig.out", "w+")
        self.rig = self.desktop.start(
            [h.PYTHON, str(DEMO), "--dir", str(self.dir), "start", "--binary", BINARY],
            env=env, stdout=self.out, stderr=subprocess.STDOUT)
        state_file = self.dir / "rig.json"
        self.state = h.wait_for(lambda: state_file.exists() and json.loads(state_file.read_text()),
                                30, "the rig's state file")
        self.assertEqual(set(self.state["pids"]), {"page", "smtp", "ftp", "program"})
        program = h.Program.__new__(h.Program)  # the rig's own program folder and process
        program.desktop, program.dir, program.any_pid = self.desktop, self.dir / "program", False
        program.proc = type("Pid", (), {"pid": self.state["pids"]["program"]})()
        program.app = h.wait_for(program._find_app, 30, "the program in the accessibility tree")
        h.wait_for(lambda: program.find("push button", "Start"), 20, "the Start button")
        return program

    def rig_output(self):
        self.out.seek(0)
        return self.out.read()

    def log(self):
        path = self.dir / "program" / "corvane.log"
        return path.read_bytes() if path.exists() else b""

    def check(self, p, count):
        """Start (an immediate check) then Stop; `count` checks made so far."""
        p.press("Start")
        h.wait_for(lambda: self.log().count(b"\nStart : \r\n") == count, 20, "the Start entry")
        p.press("Stop")
        h.wait_for(lambda: self.log().count(b"\nStop : \r\n") == count, 20, "the Stop entry")

    def assert_rig_stopped(self, exit_code=0):
        self.assertEqual(self.rig.wait(30), exit_code, self.rig_output())
        for name, pid in self.state["pids"].items():
            self.assertFalse(running(pid), f"{name} (pid {pid}) still runs")
        for name, port in self.state["ports"].items():
            with socket.socket() as s:
                self.assertNotEqual(s.connect_ex(("127.0.0.1", port)), 0,
                                    f"{name} still listens on {port}")
        self.assertFalse((self.dir / "rig.json").exists())

    def test_change_cycle_through_the_rig(self):
        p = self.start_rig()
        cfg = (self.dir / "program" / "Corvane.cfg").read_bytes()
        for port in self.state["ports"].values():
            self.assertIn(f"127.0.0.1:{port}".encode(), cfg)

        # The page answers the last known address: no change, no mail, no upload.
        self.check(p, 1)
        first = (self.dir / "page" / "answer").read_text()
        self.assertIn(first, p.label_texts())
        self.assertNotIn(b"Changement IP", self.log())

        r = self.demo("change-ip")
        self.assertEqual(r.returncode, 0, r.stderr)
        new = (self.dir / "page" / "answer").read_text()
        self.assertNotEqual(new, first)
        self.assertTrue(any(ipaddress.ip_address(new) in ipaddress.ip_network(n)
                            for n in ("198.51.100.0/24", "203.0.113.0/24")), new)
        self.assertIn(new, r.stdout)

        self.check(p, 2)
        mail_dir, upload = self.dir / "mail", self.dir / "ftp" / "ma_page" / "date.php"
        mails = h.wait_for(lambda: len(list(mail_dir.glob("*.eml"))) == 3 and
                           sorted(mail_dir.glob("*.eml")), 30, "three mails")
        h.wait_for(lambda: b"Transfert : OK" in self.log(), 30, "the upload's outcome")
        self.assertIn(new, p.label_texts())
        self.assertRegex(self.log(), re.escape(b"\nChangement IP\r\n") + h.DATE_TIME +
                         re.escape(b"\r\nIP = " + new.encode() + b"\r\n"))
        for mail, to in zip(mails, RECIPIENTS):
            data = mail.read_bytes()
            self.assertIn(b"RCPT TO:<" + to + b">\r\n", data)
            self.assertIn(b"\r\nFrom: corvane_demo <>\r\nTo: " + to +
                          b"\r\nSubject: Changement IP\r\nMIME-Version: 1.0\r\n", data)
            self.assertIn(b"Hello, voici ma nouvelle IP " + new.encode() + b" at ", data)
        program_dir = self.dir / "program"
        self.assertEqual(upload.read_bytes(), (program_dir / "date1.php").read_bytes() +
                         (program_dir / "ip_actu").read_bytes())
        self.assertIn(b'src=\\"http://' + new.encode() + b":81/graphs", upload.read_bytes())

        # Bad input changes nothing and says why.
        for bad in ("not-an-address", "198.51.100.300", ""):
            with self.subTest(address=bad):
                r = self.demo("change-ip", bad)
                self.assertEqual(r.returncode, 2)
                self.assertIn("is not an IP address", r.stderr)
                self.assertEqual((self.dir / "page" / "answer").read_text(), new)

        # A second rig on the same folder is refused while this one runs.
        r = self.demo("start", "--binary", BINARY)
        self.assertEqual(r.returncode, 2)
        self.assertIn("already runs", r.stderr)
        self.assertEqual(len(list(mail_dir.glob("*.eml"))), 3)

        p.ask_close().queryAction().doAction(0)  # "Yes"
        self.assert_rig_stopped()
        self.assertIn("3 mail(s)", self.rig_output())
        self.assertIn(f"[IP]\r\nDerniere IP={new}\r\n".encode(),
                      (program_dir / "Corvane.cfg").read_bytes())

    def test_terminating_the_rig_stops_the_program_and_servers(self):
        self.start_rig()
        self.rig.send_signal(signal.SIGTERM)
        self.assert_rig_stopped(128 + signal.SIGTERM)
        self.assertIn("interrupted", self.rig_output())

    def test_refuses_a_folder_it_did_not_make(self):
        self.dir.mkdir()
        (self.dir / "keep.txt").write_text("mine")
        for args, error in ((("start", "--binary", BINARY), "is not a demo folder"),
                            (("start", "--binary", str(self.tmp / "none")), "no program at"),
                            (("change-ip",), "no demo in")):
            with self.subTest(args=args):
                r = self.demo(*args)
                self.assertEqual(r.returncode, 2)
                self.assertIn(error, r.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), ["keep.txt"])


if __name__ == "__main__":
    unittest.main()
