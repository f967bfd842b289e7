"""The program beside its window: the notification area's icon (trayer, an XEmbed tray host:
Qt docks there when no StatusNotifier watcher is on the bus), the desktop notifications
(python-dbusmock's notification service on the session bus, which logs what it is sent and
clicks as a person would), closing to the notification area, the autostart entry, one instance
per program folder. What the engine decides is tested below the windows."""
import os
import re
import signal
import subprocess

import pytest

import harness as h

from dbusmock import MOCK_IFACE, DBusTestCase


@pytest.fixture
def notifications(desktop):
    """python-dbusmock's notification service on the desktop's session bus: it logs each call
    and sends the signals it is told to."""
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


def icon_window(p, host):
    """The program's window that the tray host holds: its icon."""
    def windows(pid):
        return {int(i) for i in subprocess.run(
            ["xdotool", "search", "--all", "--pid", str(pid), "--name", ""], capture_output=True,
            text=True, timeout=h.WAIT_S).stdout.split()}

    def find():
        held = set()
        for w in windows(host.pid):
            tree = subprocess.run(["xwininfo", "-tree", "-id", str(w)], capture_output=True,
                                  text=True, timeout=h.WAIT_S).stdout
            held |= {int(i, 16) for i in re.findall(r"^\s+(0x[0-9a-f]+) ", tree, re.M)}
        return next(iter(held & windows(p.pid)), None)

    return str(h.wait_for(find, what="the icon in the tray"))


def picture(icon):
    """What the icon shows: "grey" (stopped), "blue" (watching) or "red" (alarm), from its
    pixels as the screen shows them."""
    text = subprocess.run(["import", "-window", icon, "-depth", "8", "txt:-"],
                          capture_output=True, text=True, timeout=h.WAIT_S).stdout
    pixels = [tuple(int(v) for v in m.groups())
              for m in re.finditer(r": \((\d+),(\d+),(\d+)", text)]
    assert pixels, text[:200]
    if all(max(px) - min(px) < 16 for px in pixels):
        return "grey"
    return "red" if sum(r - b for r, _, b in pixels) > 0 else "blue"


def wait_picture(icon, state):
    h.wait_for(lambda: picture(icon) == state, what=f"the {state} icon")


def test_tray_notifications_and_close_to_tray(make_program, page, tray, notifications,
                                              tmp_path, monkeypatch):
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    page.set_answer("2.2.2.2")
    p = make_program(h.cfg_bytes({
        "IP": [("Derniere IP", "1.1.1.1")],
        "ADRESSE HTTP": [("adresse de IP detect.php", page.url())],
        "OPTION": [("Sauve Log", "1"), ("Fermer vers icone", "1")],
        "REGLAGE": [("Valeur_Bouton_Tempo", "2")],
    })).start()
    icon = icon_window(p, tray)
    wait_picture(icon, "grey")

    # A change: the alarm in the icon, and one notification naming both addresses.
    p.press("Start")
    wait_picture(icon, "red")
    h.wait_for(lambda: notes(notifications), what="a notification")
    summary, body, actions = notes(notifications)[0]
    assert summary == "Changement IP" and "default" in actions
    assert body.startswith("1.1.1.1 → 2.2.2.2\n"), body
    assert "Upload : désactivé" in body and "DNS : désactivé" in body, body

    # Closing the window puts it away, without the exit question; the program goes on.
    h.close_window(h.window_ids(name="Corvane", pid=p.pid)[0])
    h.wait_for(lambda: not p.showing("Corvane"), what="the window hidden")
    assert p.proc.poll() is None and p.exit_button() is None

    # Clicking the notification brings it back and acknowledges the alarm.
    notifications.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us",
                             [1, "default"], dbus_interface=MOCK_IFACE)
    h.wait_for(lambda: p.showing("Corvane"), what="the window shown again")
    wait_picture(icon, "blue")
    p.press("Stop")
    wait_picture(icon, "grey")
    assert len(notes(notifications)) == 1, notes(notifications)

    # Starting with the session: the entry appears in the autostart folder, and goes.
    entry = tmp_path / "config" / "autostart" / "corvane.desktop"
    p.menu("Lancer à l'ouverture de session")
    h.wait_for(entry.exists, what="the autostart entry")
    assert str(p.path("corvane")) in entry.read_text()
    p.menu("Lancer à l'ouverture de session")
    h.wait_for(lambda: not entry.exists(), what="the autostart entry removed")


def test_single_instance(make_program, procs):
    p = make_program(h.cfg_bytes({"OPTION": [("Sauve Log", "1")]}),
                     {"corvane.log": b"\nold\r\n"}).start()
    before = {f.name: (f.read_bytes(), f.stat().st_mtime_ns) for f in p.dir.iterdir()}
    # Refused with a reason on standard error, exit status 0, nothing in the folder touched; in
    # a box only where there is a screen (a box nobody sees would never be closed).
    for platform in ("offscreen", "xcb"):
        second = procs.start([p.path("corvane")], cwd=p.dir, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, env=dict(os.environ, QT_QPA_PLATFORM=platform))
        if platform == "xcb":
            h.close_window(h.wait_for(lambda: h.window_ids(name="Corvane1.05", pid=second.pid),
                                      10, "the box of the refused start")[0])
        _, err = second.communicate(timeout=10)
        assert second.returncode == 0 and "Corvane est d\u00e9j\u00e0 lanc\u00e9" in err.decode()
    assert {f.name: (f.read_bytes(), f.stat().st_mtime_ns) for f in p.dir.iterdir()} == before
    assert p.proc.poll() is None, "the first instance must be unaffected"

    # A crash leaves the lock file behind, but not the lock: the next start runs.
    os.killpg(p.proc.pid, signal.SIGKILL)
    p.proc.wait(10)
    assert p.start().quit() == 0
