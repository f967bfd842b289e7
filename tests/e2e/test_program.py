"""The real program on a desktop: one instance per program folder. What a check, a mailing, an
upload, each setting, each window and the exit do is tested below; test_rig.py runs a whole
change."""
import os
import signal
import subprocess

import harness as h


def snapshot(folder):
    return {p.name: (p.read_bytes(), p.stat().st_mtime_ns) for p in folder.iterdir()}


def test_single_instance(make_program):
    p = make_program(h.cfg_bytes({"IP": [("Derniere IP", "1.2.3.4")],
                                  "OPTION": [("Sauve Log", "1")]}), {"corvane.log": b"\nold\r\n"})
    p.start()
    before = snapshot(p.dir)
    # Refused with a reason on standard error, exit status 0; in a box only where there is a
    # screen (a box nobody sees would never be closed).
    for platform in ("offscreen", "xcb"):
        second = subprocess.Popen([p.path("corvane")], cwd=p.dir, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, start_new_session=True,
                                  env=dict(os.environ, QT_QPA_PLATFORM=platform))
        try:
            if platform == "xcb":
                box = h.wait_for(lambda: h.window_ids(name="Corvane1.05", pid=second.pid), 10,
                                 "the box of the refused start")
                subprocess.run(["wmctrl", "-i", "-c", hex(int(box[0]))], check=True, timeout=10)
            _, err = second.communicate(timeout=10)
        finally:
            if second.poll() is None:
                os.killpg(second.pid, signal.SIGKILL)
                second.wait(10)
        assert second.returncode == 0, platform
        assert "Corvane est d\u00e9j\u00e0 lanc\u00e9" in err.decode(), platform
    assert snapshot(p.dir) == before
    assert p.proc.poll() is None, "the first instance must be unaffected"

    # A crash leaves the lock file behind, but not the lock: the next start runs.
    os.killpg(p.proc.pid, signal.SIGKILL)
    p.proc.wait(10)
    p.start()
    assert p.quit() == 0

