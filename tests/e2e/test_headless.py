"""The real program without a display (no DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM in its
environment): --headless watches, mails, uploads and prints each entry, and ends on SIGTERM
once the action under way is done; --check tells by its status what one check found; a bad
command line or settings file ends at once with status 2 and one line."""
import os
import re
import signal
import subprocess

import pytest

import harness as h

OLD, NEW = "192.0.2.1", "203.0.113.7"
FTP_USER, FTP_PASSWORD = "corvane", "s3cret-ftp"
# Past the program's own bound (30 s) for the action under way at a stop.
STOP_BOUND_S = 35


class Headless:
    """corvane in tmp/program, started without any display; what it writes goes to tmp/out
    and tmp/err."""

    def __init__(self, tmp, binary, cfg=None, files=None):
        self.dir, self.out, self.err = tmp / "program", tmp / "out", tmp / "err"
        h.program_folder(binary, self.dir, cfg, files)
        (tmp / "run").mkdir(mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.env.update(XDG_RUNTIME_DIR=str(tmp / "run"), HOME=str(tmp))

    def run(self, *args):
        """Runs to its end; (status, stdout, stderr)."""
        r = subprocess.run([self.dir / "corvane", *args], cwd=self.dir, env=self.env,
                           capture_output=True, text=True, timeout=h.WAIT_S)
        return r.returncode, r.stdout, r.stderr

    def start(self, procs):
        with open(self.out, "wb") as out, open(self.err, "wb") as err:
            self.proc = procs.start([self.dir / "corvane", "--headless"], cwd=self.dir,
                                    env=self.env, stdout=out, stderr=err)
        return self

    def wait_out(self, pattern, what):
        return h.wait_for(lambda: re.search(pattern, h.read_bytes(self.out), re.S), what=what)

    def stop(self):
        """SIGTERM; the exit status, within the bound."""
        self.proc.send_signal(signal.SIGTERM)
        return self.proc.wait(STOP_BOUND_S)

    def saved(self, address):
        return f"\r\nDerniere IP={address}\r\n".encode() in (self.dir / "Corvane.cfg").read_bytes()


def settings(page_url, ftp_port=None, smtp_port=None):
    sections = {"IP": [("Derniere IP", OLD)], "OPTION": [("Sauve Log", "1")],
                "ADRESSE HTTP": [("adresse de IP detect.php", page_url)]}
    if ftp_port:
        sections["OPTION"] += [("Upload fichier", "1"), ("Mail Auto", "1")]
        sections["ADRESSE FTP"] = [
            ("Nom de domaine", FTP_USER), ("Mot de passe", FTP_PASSWORD),
            ("ftp hebergeur", f"127.0.0.1:{ftp_port}"), ("fichier \u00e0 transferer", "date.php"),
            ("emplacement et fichier", "/date.php")]
        sections["SMTP"] = [("Serveur smtp", f"127.0.0.1:{smtp_port}"),
                            ("Adresse N\u00b01", "alice@example.org")]
    return h.cfg_bytes(sections)


def test_change_mailed_uploaded_printed_then_stop_during_upload(binary, tmp_path, page, procs):
    page.set_answer(NEW)
    mail = h.MailServer(tmp_path / "mail")
    root, port = tmp_path / "ftp", h.free_port()
    root.mkdir()
    # 8 kB at 2 kB/s: the upload is still running when the stop comes.
    procs.start([h.PYTHON, str(h.SOURCE / "tests" / "publish" / "ftp_lent.py"), str(port),
                 FTP_USER, FTP_PASSWORD, str(root), str(tmp_path / "received"), "2000"])
    h.wait_port(port)
    try:
        template = b"<?php /*" + b"x" * 8000 + b"*/ ?>\r\n"
        p = Headless(tmp_path, binary, settings(page.url(), port, mail.port),
                     {"date1.php": template}).start(procs)

        def entry(eol):
            return b"\nChangement IP" + eol + h.DATE_TIME + eol + f"IP = {NEW}".encode() + eol

        p.wait_out(entry(b"\n"), "the change's entry on standard output")
        p.wait_out(rb"Transfert ftp \.", "the upload under way, after the mailing")
        msgs = h.wait_for(mail.messages, h.WAIT_S, "the mail")
        assert msgs[0]["X-RcptTo"] == "alice@example.org" and NEW in msgs[0].get_payload()
        assert p.stop() == 0 and p.saved(NEW)
        # The upload ended whole after the stop, not cut short by it.
        assert re.search(rb"\nStop : \n.*\nTransfert : OK\n", h.read_bytes(p.out), re.S)
        assert (root / "date.php").read_bytes() == template + (p.dir / "ip_actu").read_bytes()
        assert re.search(entry(b"\r\n"), (p.dir / "corvane.log").read_bytes())
        assert FTP_PASSWORD.encode() not in h.read_bytes(p.out) + h.read_bytes(p.err)
    finally:
        mail.close()


@pytest.mark.parametrize("answer, status", [(OLD, 0), (NEW, 1), (None, 2)],
                         ids=["unchanged", "changed", "failed"])
def test_check(binary, tmp_path, page, answer, status):
    if answer:
        page.set_answer(answer)
    p = Headless(tmp_path, binary, settings(page.url()))
    code, out, err = p.run("--check")
    assert code == status, err
    assert (out, "HTTP 404" in err) == ((answer + "\n", False) if answer else ("", True))
    assert p.saved(answer or OLD)


@pytest.mark.parametrize("args, cfg", [(["--headless", "--bogus"], b""), (["--headless"], None)],
                         ids=["bad option", "settings a folder"])
def test_refused_start(binary, tmp_path, args, cfg):
    p = Headless(tmp_path, binary, cfg)
    if cfg is None:
        (p.dir / "Corvane.cfg").mkdir()
    code, out, err = p.run(*args)
    assert code == 2 and out == "" and len(err.splitlines()) == 1, err
