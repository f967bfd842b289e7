"""The program beside its window: the notification area's icon (trayer, an XEmbed tray host:
Qt docks there when no StatusNotifier watcher is on the bus), the desktop notifications (a
notification service of this test's own on the desktop's session bus, which keeps what it is
sent and clicks as a person would), closing to the notification area, the autostart entry.
What the engine decides is tested below the windows."""
import os
import re
import subprocess
import threading

import pytest

import harness as h

BUS_NAME = "org.freedesktop.Notifications"
BUS_PATH = "/org/freedesktop/Notifications"
INTERFACE = """<node><interface name="org.freedesktop.Notifications">
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
  <method name="Notify">
    <arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/><arg type="s"/>
    <arg type="as"/><arg type="a{sv}"/><arg type="i"/><arg type="u" direction="out"/>
  </method>
  <method name="CloseNotification"><arg type="u"/></method>
  <method name="GetServerInformation">
    <arg type="s" direction="out"/><arg type="s" direction="out"/>
    <arg type="s" direction="out"/><arg type="s" direction="out"/>
  </method>
  <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
  <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
</interface></node>"""


class NotificationService:
    """Owns org.freedesktop.Notifications on the session bus, from a thread with its own GLib
    loop; `notes` holds each Notify call's (summary, body, actions) in order."""

    def __init__(self):
        from gi.repository import Gio, GLib

        self.GLib = GLib
        self.notes = []
        self.context = GLib.MainContext.new()
        self.loop = GLib.MainLoop(self.context)
        ready = threading.Event()

        def answer(conn, sender, path, iface, method, params, call):
            if method == "Notify":
                _, _, _, summary, body, actions, _, _ = params.unpack()
                self.notes.append((summary, body, actions))
                call.return_value(GLib.Variant("(u)", (len(self.notes),)))
            elif method == "GetCapabilities":
                call.return_value(GLib.Variant("(as)", (["body", "actions"],)))
            elif method == "GetServerInformation":
                call.return_value(GLib.Variant("(ssss)", ("test", "corvane", "1", "1.2")))
            else:
                call.return_value(None)

        def serve():
            self.context.push_thread_default()
            self.bus = Gio.DBusConnection.new_for_address_sync(
                os.environ["DBUS_SESSION_BUS_ADDRESS"],
                Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            interface = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
            self.bus.register_object(BUS_PATH, interface, answer, None, None)
            self.owner = self.bus.call_sync(
                "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "RequestName", GLib.Variant("(su)", (BUS_NAME, 4)),  # 4: do not queue
                GLib.VariantType("(u)"), 0, int(h.WAIT_S * 1000), None).unpack()[0]
            ready.set()
            self.loop.run()

        self.thread = threading.Thread(target=serve, daemon=True)
        self.thread.start()
        assert ready.wait(h.WAIT_S), "the notification service did not start"
        assert self.owner == 1, "another notification service holds the name"

    def click(self, number):
        """A click on notification `number` (1 for the first): its default action."""
        self.bus.emit_signal(None, BUS_PATH, BUS_NAME, "ActionInvoked",
                             self.GLib.Variant("(us)", (number, "default")))

    def close(self):
        self.bus.close_sync(None)
        self.loop.quit()
        self.thread.join(h.WAIT_S)


@pytest.fixture
def notifications(desktop):
    service = NotificationService()
    yield service
    service.close()


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
                                              workdir, monkeypatch):
    monkeypatch.setenv("XDG_CONFIG_HOME", str(workdir / "config"))
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
    h.wait_for(lambda: notifications.notes, what="a notification")
    summary, body, actions = notifications.notes[0]
    assert summary == "Changement IP"
    assert body.startswith("1.1.1.1 → 2.2.2.2\n"), body
    assert "Upload : désactivé" in body and "DNS : désactivé" in body, body
    assert "default" in actions

    # Closing the window puts it away, without the exit question; the program goes on.
    wid = h.window_ids(name="Corvane", pid=p.pid)[0]
    subprocess.run(["wmctrl", "-i", "-c", hex(int(wid))], check=True, timeout=h.WAIT_S)
    h.wait_for(lambda: not p.showing("Corvane"), what="the window hidden")
    assert p.proc.poll() is None
    assert p.find("push button", "&Yes") is None and p.find("push button", "Yes") is None

    # Clicking the notification brings it back and acknowledges the alarm.
    notifications.click(1)
    h.wait_for(lambda: p.showing("Corvane"), what="the window shown again")
    wait_picture(icon, "blue")
    p.press("Stop")
    wait_picture(icon, "grey")
    assert len(notifications.notes) == 1, notifications.notes

    # Starting with the session: the entry appears in the autostart folder, and goes.
    entry = workdir / "config" / "autostart" / "corvane.desktop"
    p.menu("Lancer à l'ouverture de session")
    h.wait_for(entry.exists, what="the autostart entry")
    assert str(p.path("corvane")) in entry.read_text()
    p.menu("Lancer à l'ouverture de session")
    h.wait_for(lambda: not entry.exists(), what="the autostart entry removed")
