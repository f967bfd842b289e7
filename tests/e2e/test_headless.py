"""The real program without a display (no DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM in its
environment): --headless watches, mails, uploads and prints each entry, and ends on SIGTERM
once the action under way is done; --check tells by its status what one check found; a bad
command line or settings file ends at once with status 2 and one line."""
import os
import re
import shutil
import signal
import subprocess

import pytest

import harness as h

OLD, NEW = "192.0.2.1", "203.0.113.7"
FTP_USER, FTP_PASSWORD = "corvane", "s3cret-ftp"
# Past the program's own bound (30 s) for the action under way at a stop.
STOP_BOUND_S = 35


@pytest.fixture
def procs():
    p = h.Processes()
    yield p
    p.close()


class Headless:
    """corvane copied into a program folder of its own (also its working directory), started
    without any display; what it writes goes to `out` and `err` beside the folder."""

    def __init__(self, workdir, binary, cfg=None, files=None):
        self.dir = workdir / "program"
        self.dir.mkdir()
        shutil.copy2(binary, self.dir / "corvane")
        if cfg is not None:
            (self.dir / "Corvane.cfg").write_bytes(cfg)
        for name, data in (files or {}).items():
            (self.dir / name).write_bytes(data)
        self.out, self.err = workdir / "out", workdir / "err"
        runtime = workdir / "run"
        runtime.mkdir(mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.env.update(XDG_RUNTIME_DIR=str(runtime), HOME=str(workdir))

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

    def cfg(self):
        return (self.dir / "Corvane.cfg").read_bytes()


def settings(page_url, ftp_port=None, smtp_port=None):
    options = [("Sauve Log", "1")]
    sections = {"IP": [("Derniere IP", OLD)],
                "ADRESSE HTTP": [("adresse de IP detect.php", page_url)]}
    if ftp_port:
        options.append(("Upload fichier", "1"))
        sections["ADRESSE FTP"] = [
            ("Nom de domaine", FTP_USER), ("Mot de passe", FTP_PASSWORD),
            ("ftp hebergeur", f"127.0.0.1:{ftp_port}"), ("fichier \u00e0 transferer", "date.php"),
            ("emplacement et fichier", "/date.php")]
    if smtp_port:
        options.append(("Mail Auto", "1"))
        sections["SMTP"] = [("Serveur smtp", f"127.0.0.1:{smtp_port}"),
                            ("Adresse N\u00b01", "alice@example.org")]
    sections["OPTION"] = options
    return h.cfg_bytes(sections)


def test_change_mailed_uploaded_printed(binary, workdir, page, procs):
    page.set_answer(NEW)
    mail = h.MailServer(workdir / "mail")
    (workdir / "ftp").mkdir()
    ftp = h.FtpServer(workdir / "ftp", FTP_USER, FTP_PASSWORD)
    try:
        template = b"<?php echo 'page'; ?>\r\n"
        p = Headless(workdir, binary, settings(page.url(), ftp.port, mail.port),
                     {"date1.php": template}).start(procs)
        def entry(eol):
            return b"\nChangement IP" + eol + h.DATE_TIME + eol + f"IP = {NEW}".encode() + eol

        p.wait_out(entry(b"\n"), "the change's entry on standard output")
        p.wait_out(rb"\nTransfert : OK\n", "the upload's outcome on standard output")
        msgs = h.wait_for(mail.messages, h.WAIT_S, "the mail")
        assert msgs[0]["X-RcptTo"] == "alice@example.org" and NEW in msgs[0].get_payload()
        assert (workdir / "ftp" / "date.php").read_bytes() == template + \
            (p.dir / "ip_actu").read_bytes()
        assert re.search(entry(b"\r\n"), (p.dir / "corvane.log").read_bytes())
        assert p.stop() == 0
        assert f"\r\nDerniere IP={NEW}\r\n".encode() in p.cfg()
        assert FTP_PASSWORD.encode() not in h.read_bytes(p.out) + h.read_bytes(p.err)
    finally:
        ftp.close()
        mail.close()


def test_sigterm_waits_for_the_upload(binary, workdir, page, procs):
    page.set_answer(NEW)
    root, received = workdir / "ftp", workdir / "received"
    root.mkdir()
    port = h.free_port()
    # 6 kB at 2 kB/s: the upload is still running when the stop comes.
    procs.start([h.PYTHON, str(h.SOURCE / "tests" / "publish" / "ftp_lent.py"), str(port),
                 FTP_USER, FTP_PASSWORD, str(root), str(received), "2000"])
    h.wait_port(port)
    template = b"<?php /*" + b"x" * 6000 + b"*/ ?>\r\n"
    p = Headless(workdir, binary, settings(page.url(), port),
                 {"date1.php": template}).start(procs)
    p.wait_out(rb"Transfert ftp \.", "the upload under way")
    assert p.stop() == 0
    # The upload ended whole after the stop, not cut short by it.
    assert h.read_bytes(received).strip() == os.path.realpath(root / "date.php").encode()
    assert re.search(rb"\nStop : \n.*\nTransfert : OK\n", h.read_bytes(p.out), re.S)
    assert f"\r\nDerniere IP={NEW}\r\n".encode() in p.cfg()


@pytest.mark.parametrize("answer, status", [(OLD, 0), (NEW, 1), (None, 2)],
                         ids=["unchanged", "changed", "failed"])
def test_check(binary, workdir, page, answer, status):
    if answer:
        page.set_answer(answer)
    p = Headless(workdir, binary, settings(page.url()))
    code, out, err = p.run("--check")
    assert code == status, err
    if answer:
        assert out == answer + "\n"
    else:
        assert out == "" and "HTTP 404" in err
    assert f"\r\nDerniere IP={answer or OLD}\r\n".encode() in p.cfg()


@pytest.mark.parametrize("args, cfg", [
    (["--headless", "--bogus"], b""),
    (["--headless"], "folder"),
], ids=["bad option", "settings a folder"])
def test_refused_start(binary, workdir, args, cfg):
    p = Headless(workdir, binary, cfg if isinstance(cfg, bytes) else None)
    if cfg == "folder":
        (p.dir / "Corvane.cfg").mkdir()
    code, out, err = p.run(*args)
    assert code == 2 and out == ""
    assert len(err.splitlines()) == 1, err
