"""A whole change cycle through the demo rig (scripts/demo.py): Start finds no change, the rig's
change-ip makes the next check mail and upload, closing the program stops the rig."""
import contextlib
import json
import os
import re
import signal
import subprocess
from pathlib import Path

import harness as h

DEMO = h.SOURCE / "scripts" / "demo.py"
NEW = "198.51.100.23"


def test_change_cycle_through_the_rig(desktop, binary, tmp_path):
    folder = tmp_path / "demo"
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    with open(tmp_path / "rig.out", "w") as out:
        rig = desktop.start([h.PYTHON, str(DEMO), "--dir", str(folder), "start", "--binary",
                             str(binary)], env=env, stdout=out, stderr=subprocess.STDOUT)
    state = h.wait_for(lambda: (folder / "rig.json").exists() and
                       json.loads((folder / "rig.json").read_text()), 30, "the rig's state file")
    try:
        p = h.Program(desktop, None, folder / "program").attach(state["pids"]["program"])

        def check(count):  # Start checks at once; `count` checks so far
            p.press("Start")
            p.wait_log(rb"(\nStart : \r\n.*){%d}" % count, "the Start entry")
            p.press("Stop")
            p.wait_log(rb"(\nStop : \r\n.*){%d}" % count, "the Stop entry")

        def maps(name):
            return name in (Path("/proc") / str(p.pid) / "maps").read_text()

        # Qt Network (and Kerberos, libproxy under it) waits for the first check, Qt SQL for the
        # first record of the history.
        assert not [name for name in ("libQt6Network", "libQt6Sql") if maps(name)]
        check(1)  # the last known address
        assert b"Changement IP" not in p.log() and maps("libQt6Network")

        r = subprocess.run([h.PYTHON, str(DEMO), "--dir", str(folder), "change-ip", NEW],
                           capture_output=True, text=True, timeout=30)
        assert r.returncode == 0, r.stderr
        check(2)
        p.wait_log(re.escape(b"\nChangement IP\r\n") + h.DATE_TIME +
                   re.escape(f"\r\nIP = {NEW}\r\n".encode()))
        p.wait_log(rb"\nTransfert : OK\r\n", "the upload's outcome")
        p.app.child(name=NEW, roleName="label")  # raises unless the window shows it
        h.wait_for(lambda: len(os.listdir(folder / "mail" / "new")) == 3, 30, "3 mails")
        assert NEW.encode() in (folder / "ftp" / "ma_page" / "date.php").read_bytes()

        p.ask_close().doActionNamed("Press")
        assert rig.wait(h.WAIT_S) == 0
        assert not (folder / "rig.json").exists()
        cfg = (p.dir / "Corvane.cfg").read_bytes()
        password = re.search(rb"\nMot de passe=(\w+)\r\n", cfg).group(1)
        assert password not in p.log() + (folder / "logs" / "program.log").read_bytes()
    finally:
        desktop.stop(rig)
        for pid in state["pids"].values():  # nothing the rig started may outlive the test
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
        print((tmp_path / "rig.out").read_text(errors="replace")[-3000:])

