"""The program beside its window: the tray icon (trayer, an XEmbed host: Qt docks there when
no StatusNotifier watcher is on the bus), the notifications (python-dbusmock's service, which
logs each call and clicks as a person would), closing to the tray, one instance per folder."""
import os
import re
import signal
import time
import subprocess

import pytest

import harness as h

from dbusmock import MOCK_IFACE, DBusTestCase


@pytest.fixture
def notifications(desktop):
    server, mock = DBusTestCase.spawn_server_template(
        "notification_daemon", {"capabilities": "body actions"}, subprocess.DEVNULL)
    yield mock
    server.terminate()
    server.wait(h.WAIT_S)


def notes(mock):
    """(summary, body, actions) of each notification sent, in order."""
    return [(str(a[3]), str(a[4]), [str(x) for x in a[5]])
            for _, a in mock.GetMethodCalls("Notify", dbus_interface=MOCK_IFACE)]


@pytest.fixture
def tray(desktop):
    """trayer, once it owns the tray selection: a program started before that finds no tray."""
    from Xlib import X, display

    host = desktop.start(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                          "request", "--height", "24"])
    screen = display.Display()
    selection = screen.intern_atom("_NET_SYSTEM_TRAY_S0")
    h.wait_for(lambda: screen.get_selection_owner(selection) != X.NONE, what="the tray host")
    screen.close()
    yield host
    desktop.stop(host)


def picture(icon):
    """"grey" (stopped), "blue" (watching) or "red" (alarm), from the icon's pixels on screen."""
    text = h.stdout_of("import", "-window", icon, "-depth", "8", "txt:-")
    pixels = [tuple(map(int, m.groups())) for m in re.finditer(r": \((\d+),(\d+),(\d+)", text)]
    assert pixels, text[:200]
    if all(max(px) - min(px) < 16 for px in pixels):
        return "grey"
    return "red" if sum(r - b for r, _, b in pixels) > 0 else "blue"


def colours(window, seconds=2.5):
    """The colours a window showed on screen, sampled over a few seconds."""
    seen = set()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        text = h.stdout_of("import", "-window", window, "-depth", "8", "txt:-")
        seen.update(re.findall(r": \((\d+,\d+,\d+)\)", text))
        time.sleep(0.2)
    return seen


def wait_picture(icon, state):
    h.wait_for(lambda: picture(icon) == state, what=f"the {state} icon")


def test_tray_notifications_and_close_to_tray(program, page, tray, notifications):
    page.set_answer("2.2.2.2")
    (program.dir / "Corvane.cfg").write_bytes(h.cfg_bytes({
        "IP": [("Derniere IP", "1.1.1.1")],
        "ADRESSE HTTP": [("adresse de IP detect.php", page.url())],
        "OPTION": [("Sauve Log", "1"), ("Fermer vers icone", "1"), ("Demarrage auto", "1")],
        "REGLAGE": [("Valeur_Bouton_Tempo", "2")],
    }))
    p = program.start()
    # The watch starts with the window, once it is on screen and the keyring has been asked.
    p.wait_log(rb"\nStart : \r\n", "the Start entry of the launch")
    # The program's one window without a name is its icon, mapped once the tray holds it.
    icon = h.wait_for(lambda: h.window_ids(name="", pid=p.pid), what="the tray icon")[0]

    # The running indicator blinks through the X server (a child window's background), so what
    # is on screen is checked, not what the program believes it painted.
    lamp = h.wait_for(lambda: h.window_ids(name="Led1", pid=p.pid), what="the indicator")[0]
    assert colours(lamp) == {"128,0,0", "255,0,0"}
    wait_picture(icon, "red")
    summary, body, actions = h.wait_for(lambda: notes(notifications), what="a notification")[0]
    assert summary == "Changement IP" and "default" in actions
    assert body.split("\n") == ["1.1.1.1 → 2.2.2.2", "Mails : désactivés",
                               "Upload : désactivé", "DNS : désactivé"], body
    # Sounds, upload and DNS off: the change loaded neither the audio stack nor libcurl or ldns.
    maps = open(f"/proc/{p.proc.pid}/maps").read()
    assert not [lib for lib in ("libQt6Multimedia", "libcurl", "libldns") if lib in maps]

    # Closed to the tray: no exit question, the program goes on.
    h.close_window(h.window_ids(name="Corvane", pid=p.pid)[0])
    h.wait_for(lambda: not p.showing("Corvane"), what="the window hidden")
    assert p.proc.poll() is None and p.exit_button() is None

    # A click on the notification shows the window and acknowledges the alarm.
    notifications.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us",
                             [1, "default"], dbus_interface=MOCK_IFACE)
    h.wait_for(lambda: p.showing("Corvane"), what="the window shown again")
    wait_picture(icon, "blue")
    p.press("Stop")
    wait_picture(icon, "grey")
    assert colours(lamp, 1.2) == {"128,0,0"}
    assert len(notes(notifications)) == 1, notes(notifications)


def test_single_instance(program, procs):
    (program.dir / "Corvane.cfg").write_bytes(h.cfg_bytes({"OPTION": [("Sauve Log", "1")]}))
    (program.dir / "corvane.log").write_bytes(b"\nold\r\n")
    p = program.start()
    before = {f.name: (f.read_bytes(), f.stat().st_mtime_ns) for f in p.dir.iterdir()}
    # Refused on standard error with status 0, the folder untouched; a box only where there is
    # a screen (one nobody sees would never be closed).
    for platform in ("offscreen", "xcb"):
        second = procs.start([p.dir / "corvane"], cwd=p.dir, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, env=dict(os.environ, QT_QPA_PLATFORM=platform))
        if platform == "xcb":
            h.close_window(h.wait_for(lambda: h.window_ids(name="Corvane1.05", pid=second.pid),
                                      10, "the box of the refused start")[0])
        _, err = second.communicate(timeout=10)
        assert second.returncode == 0 and "Corvane est déjà lancé" in err.decode()
    assert {f.name: (f.read_bytes(), f.stat().st_mtime_ns) for f in p.dir.iterdir()} == before
    assert p.proc.poll() is None, "the first instance must be unaffected"

    # A crash leaves the lock file behind, but not the lock: the next start runs.
    os.killpg(p.proc.pid, signal.SIGKILL)
    p.proc.wait(10)
    assert p.start().quit() == 0
