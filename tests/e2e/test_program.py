"""The real program on a desktop: one instance per program folder, the help and about windows,
the exit question, and the display and debug settings kept from one run to the next. What a
check, a mailing and an upload do is tested below the windows; test_rig.py runs a whole change."""
import os
import signal
import subprocess

import harness as h

SMTP, ASSEMBLY = "LOG - Debug transfert smtp", "LOG - Debug assemblage fichier "


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


def test_help_and_about(make_program):
    p = make_program(h.cfg_bytes({"IP": [("Derniere IP", "1.2.3.4")]})).start()
    for menu, title in (("?", "Aide Corvane"), ("About", "About Brenn")):
        p.menu(menu)
        h.wait_for(lambda: p.showing(title), 10, f"the window {title!r}")
    assert p.quit() == 0


def test_settings_kept_and_exit_question(make_program, page):
    p = make_program(h.cfg_bytes({
        "IP": [("Derniere IP", "1.2.3.4")],
        "ADRESSE HTTP": [("adresse de IP detect.php", page.url())],
        "OPTION": [("Sauve Log", "1"), ("Mode Debug", "0")],
        "REGLAGE": [("Valeur_Bouton_Tempo", "0")],
    })).start()

    def above():
        return "_NET_WM_STATE_ABOVE" in subprocess.run(
            ["xprop", "-id", h.window_ids("Corvane", p.pid)[0], "_NET_WM_STATE"],
            capture_output=True, text=True, timeout=10).stdout

    def size():
        out = subprocess.run(["xdotool", "getwindowgeometry", h.window_ids("Corvane", p.pid)[0]],
                             capture_output=True, text=True, timeout=10).stdout
        return tuple(int(v) for v in out.split("Geometry:")[1].split()[0].split("x"))

    def debug_windows():
        return [p.showing(SMTP), p.showing(ASSEMBLY)]

    full = size()
    assert not above() and debug_windows() == [False, False]
    p.menu("Mode Debug")
    h.wait_for(lambda: debug_windows() == [True, True], 10, "both debug windows")
    p.menu("Toujours visible")
    h.wait_for(above, 10, "the stay-above state")
    p.menu("Reduit")
    h.wait_for(lambda: size()[0] < full[0] and size()[1] < full[1], 10, "the reduced window")
    reduced = size()

    # The page has no answer: the check fails in a box. The exit question asked while that box
    # is active belongs to the main window: closing the box leaves the question open (it once
    # belonged to whichever window was active, and went down with the box).
    p.press("Start")
    p.wait_log(rb"\nStart : \r\n", "the Start entry")
    ok = p.button("OK")
    box = h.wait_for(lambda: h.window_ids("Corvane1.05", p.pid), 10, "the error box")[0]
    subprocess.run(["xdotool", "windowactivate", "--sync", box], check=True, timeout=10)
    yes = p.ask_close()
    ok.doActionNamed("Press")
    h.wait_for(lambda: not p.find("push button", "OK"), 10, "the error box closed")
    yes.doActionNamed("Press")
    assert p.proc.wait(h.WAIT_S) == 0
    cfg = p.path("Corvane.cfg").read_bytes()
    for line in (b"Taille fenetre=reduit\r\n", b"Toujours visible=oui\r\n", b"Mode Debug=1\r\n"):
        assert line in cfg

    p.start()
    h.wait_for(above, 10, "the stay-above state")
    h.wait_for(lambda: debug_windows() == [True, True], 10, "both debug windows")
    h.wait_for(lambda: size() == reduced, 10, "the reduced window")
    p.menu("Mode Debug")
    h.wait_for(lambda: debug_windows() == [False, False], 10, "both debug windows hidden")
    assert p.quit() == 0
    assert b"Mode Debug=0\r\n" in p.path("Corvane.cfg").read_bytes()
