"""One instance per program folder, on the real binary: a second start says why on standard
error and, with a screen, in a box, then exits with status 0 having touched no file; a lock
left by a killed run does not block the next start."""
import os
import signal
import subprocess
import time
import unittest

import harness as h

BINARY = h.binary_from_args()


def snapshot(folder):
    return {p.name: (p.read_bytes(), p.stat().st_mtime_ns) for p in folder.iterdir()
            if p.is_file()}


class SingleInstance(unittest.TestCase):
    def setUp(self):
        self.desktop = h.desktop()
        cfg = h.cfg_bytes({"IP": [("Derniere IP", "1.2.3.4")],
                           "OPTION": [("Sauve Log", "1")]})
        self.p = h.Program(self.desktop, BINARY, cfg, {"corvane.log": b"\nold\r\n"})

    def tearDown(self):
        self.p.cleanup()

    def second_start(self, platform):
        env = dict(os.environ, QT_QPA_PLATFORM=platform)
        began = time.monotonic()
        proc = subprocess.Popen([str(self.p.path("corvane"))], cwd=self.p.dir, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                start_new_session=True)
        try:
            if platform == "xcb":
                box = h.wait_for(lambda: subprocess.run(
                    ["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid), "--name",
                     "^Corvane1\\.05$"], capture_output=True, text=True).stdout.split(), 10,
                    "the box of the refused start")
                subprocess.run(["wmctrl", "-i", "-c", hex(int(box[0]))], check=True)
            _, err = proc.communicate(timeout=10)
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(10)
        return proc.returncode, time.monotonic() - began, err.decode()

    def test_second_start_and_stale_lock(self):
        self.p.start()
        before = snapshot(self.p.dir)
        windows = self.p.window_id()
        for platform in ("offscreen", "xcb"):
            code, seconds, err = self.second_start(platform)
            self.assertEqual(code, 0)
            self.assertLess(seconds, 10)
            self.assertIn("Corvane est d\u00e9j\u00e0 lanc\u00e9", err)
        self.assertEqual(snapshot(self.p.dir), before)
        self.assertEqual(self.p.window_id(), windows)
        self.assertIsNone(self.p.proc.poll(), "the first instance must be unaffected")

        # A crash leaves its lock behind; the next start takes it over.
        os.killpg(self.p.proc.pid, signal.SIGKILL)
        self.p.proc.wait(10)
        self.p.start()
        self.assertIsNotNone(self.p.window_id())
        self.assertEqual(self.p.quit(), 0)
        self.assertEqual(os.stat(self.p.path("Corvane.cfg")).st_mode & 0o777, 0o600)

    def test_first_start_writes_defaults_owner_only(self):
        self.p.path("Corvane.cfg").unlink()
        self.p.start()
        h.wait_for(lambda: self.p.path("Corvane.cfg").exists(), 10, "the defaults file")
        self.assertEqual(os.stat(self.p.path("Corvane.cfg")).st_mode & 0o777, 0o600)
        h.wait_for(lambda: self.p.window_id("Aide Corvane"), 10, "the help window")
        self.assertEqual(self.p.quit(), 0)
        cfg = self.p.path("Corvane.cfg").read_bytes()
        self.assertTrue(cfg.startswith(b"[Mot de passe]\r\nraz=non\r\n"))
        self.assertIn(b"Adresse N\xb010=\r\n", cfg)



class Display(unittest.TestCase):
    """The display menus on a real window manager: "Toujours visible" reaches it as the
    stay-above state, the two modes set the window's size, and both are stored at exit."""

    def setUp(self):
        self.desktop = h.desktop()
        cfg = h.cfg_bytes({"IP": [("Derniere IP", "1.2.3.4")],
                           "REGLAGE": [("Position H", "1440"), ("Position V", "720")]})
        self.p = h.Program(self.desktop, BINARY, cfg)

    def tearDown(self):
        self.p.cleanup()

    def state(self):
        wid = self.p.window_id()
        return subprocess.run(["xprop", "-id", wid, "_NET_WM_STATE"], capture_output=True,
                              text=True).stdout

    def size(self):
        out = subprocess.run(["xdotool", "getwindowgeometry", self.p.window_id()],
                             capture_output=True, text=True).stdout
        return tuple(int(v) for v in out.split("Geometry:")[1].split()[0].split("x"))

    def test_on_top_and_modes(self):
        self.p.start()
        self.assertNotIn("_NET_WM_STATE_ABOVE", self.state())
        full = self.size()
        self.p.menu("Toujours visible")
        h.wait_for(lambda: "_NET_WM_STATE_ABOVE" in self.state(), 10, "the stay-above state")
        self.p.menu("Reduit")
        h.wait_for(lambda: self.size()[0] < full[0], 10, "the reduced window")
        reduced = self.size()
        self.assertLess(reduced[1], full[1])
        self.p.menu("Toujours visible")
        h.wait_for(lambda: "_NET_WM_STATE_ABOVE" not in self.state(), 10, "the normal state")
        self.p.menu("Toujours visible")
        self.assertEqual(self.p.quit(), 0)
        cfg = self.p.path("Corvane.cfg").read_bytes()
        self.assertIn(b"Taille fenetre=reduit\r\n", cfg)
        self.assertIn(b"Toujours visible=oui\r\n", cfg)

        # The next start restores both.
        self.p.start()
        h.wait_for(lambda: "_NET_WM_STATE_ABOVE" in self.state(), 10, "the stay-above state")
        self.assertEqual(self.size(), reduced)
        self.assertEqual(self.p.quit(), 0)


if __name__ == "__main__":
    unittest.main()
