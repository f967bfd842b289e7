"""The program with no display in its environment: --headless watches, mails, uploads, prints,
and ends on SIGTERM once the action under way is done; --check's status; refused starts."""
import contextlib
import os
import re
import shutil
import signal
import subprocess

import pytest

import harness as h

OLD, NEW = "192.0.2.1", "203.0.113.7"
FTP_USER, FTP_PASSWORD = "corvane", "s3cret-ftp"
STOP_BOUND_S = 35  # past the program's own bound (30 s) for the action under way


class Headless:
    """corvane in tmp/program, with no display; its output goes to tmp/out and tmp/err."""

    def __init__(self, tmp, binary, cfg=None, files=None):
        self.dir, self.out, self.err = tmp / "program", tmp / "out", tmp / "err"
        h.program_folder(binary, self.dir, cfg, files)
        (tmp / "run").mkdir(mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.env.update(XDG_RUNTIME_DIR=str(tmp / "run"), HOME=str(tmp))

    def run(self, *args):
        r = subprocess.run([self.dir / "corvane", *args], cwd=self.dir, env=self.env,
                           capture_output=True, text=True, timeout=h.WAIT_S)
        return r.returncode, r.stdout, r.stderr

    def wait_out(self, pattern, what):
        return h.wait_for(lambda: re.search(pattern, h.read_bytes(self.out), re.S), what=what)

    def saved(self, address):
        return f"\r\nDerniere IP={address}\r\n".encode() in (self.dir / "Corvane.cfg").read_bytes()


def settings(page_url, **sections):
    return h.cfg_bytes({"IP": [("Derniere IP", OLD)], "OPTION": [("Sauve Log", "1")],
                        "ADRESSE HTTP": [("adresse de IP detect.php", page_url)], **sections})


def test_change_mailed_uploaded_printed_then_stop_during_upload(binary, tmp_path, page, procs):
    page.set_answer(NEW)
    root, port = tmp_path / "ftp", h.free_port()
    root.mkdir()
    # 8 kB at 2 kB/s: the upload is still running when the stop comes.
    procs.start([h.PYTHON, str(h.SOURCE / "tests" / "publish" / "ftp_lent.py"), str(port),
                 FTP_USER, FTP_PASSWORD, str(root), str(tmp_path / "received"), "2000"])
    h.wait_port(port)
    with contextlib.closing(h.MailServer(tmp_path / "mail")) as mail:
        template = b"<?php /*" + b"x" * 8000 + b"*/ ?>\r\n"
        p = Headless(tmp_path, binary, settings(page.url(), **{
            "OPTION": [("Sauve Log", "1"), ("Upload fichier", "1"), ("Mail Auto", "1")],
            "ADRESSE FTP": [("Nom de domaine", FTP_USER), ("Mot de passe", FTP_PASSWORD),
                            ("ftp hebergeur", f"127.0.0.1:{port}"),
                            ("fichier à transferer", "date.php"),
                            ("emplacement et fichier", "/date.php")],
            "SMTP": [("Serveur smtp", mail.server), ("Adresse N°1", "alice@example.org")],
        }), {"date1.php": template})
        with open(p.out, "wb") as out, open(p.err, "wb") as err:
            proc = procs.start([p.dir / "corvane", "--headless"], cwd=p.dir, env=p.env,
                               stdout=out, stderr=err)

        def entry(eol):
            return eol.join([b"\nChangement IP", h.DATE_TIME, f"IP = {NEW}".encode(), b""])

        p.wait_out(entry(b"\n"), "the change's entry on standard output")
        p.wait_out(rb"Transfert ftp \.", "the upload under way, after the mailing")
        msgs = h.wait_for(mail.messages, h.WAIT_S, "the mail")
        assert msgs[0]["X-RcptTo"] == "alice@example.org" and NEW in msgs[0].get_payload()
        proc.send_signal(signal.SIGTERM)
        assert proc.wait(STOP_BOUND_S) == 0 and p.saved(NEW)
        # The upload ended whole after the stop, not cut short by it.
        assert re.search(rb"\nStop : \n.*\nTransfert : OK\n", h.read_bytes(p.out), re.S)
        assert (root / "date.php").read_bytes() == template + (p.dir / "ip_actu").read_bytes()
        assert re.search(entry(b"\r\n"), (p.dir / "corvane.log").read_bytes())


@pytest.mark.parametrize("answer, libraries, status, missing", [
    (OLD, None, 0, None),
    (NEW, ["core", "reseau"], 1, "module d'envoi indisponible"),
    (None, ["core"], 2, "module réseau indisponible")],
    ids=["unchanged, no upload yet", "changed, delivery module missing", "network missing"])
def test_check(binary, tmp_path, page, answer, libraries, status, missing):
    """--check prints and saves the address, its status says how it went. Qt Network is loaded
    with the first check, libcurl and ldns with the first upload, not before; an install without
    one of them still starts and says why the step failed."""
    page.set_answer(answer or NEW)
    p = Headless(tmp_path, binary, settings(page.url(), OPTION=[("Upload fichier", "1")], **{
        "ADRESSE FTP": [("ftp hebergeur", "127.0.0.1:9"), ("fichier à transferer", "date.php"),
                        ("emplacement et fichier", "/date.php")]}), {"date1.php": b"<?php ?>"})
    if libraries:
        (tmp_path / "lib").mkdir()
        for name in libraries:
            shutil.copy2(binary.parent / f"libcorvane_{name}.so", tmp_path / "lib")
        p.env["LD_LIBRARY_PATH"] = str(tmp_path / "lib")  # searched before the RUNPATH
    p.env["LD_DEBUG"] = "files"  # each library loaded, on standard error
    code, out, err = p.run("--check")
    assert code == status, err
    assert out == (answer + "\n" if answer else "") and p.saved(answer or OLD)
    assert "libcurl" not in err
    assert ("libQt6Network" in err) == (missing != "module réseau indisponible")
    assert missing is None or missing in err, err


@pytest.mark.parametrize("args, cfg", [(["--headless", "--bogus"], b""), (["--headless"], None)],
                         ids=["bad option", "settings a folder"])
def test_refused_start(binary, tmp_path, args, cfg):
    p = Headless(tmp_path, binary, cfg)
    if cfg is None:
        (p.dir / "Corvane.cfg").mkdir()
    code, out, err = p.run(*args)
    assert code == 2 and out == "" and len(err.splitlines()) == 1, err
