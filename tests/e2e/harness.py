"""The real corvane on a desktop of its own (Xvfb, openbox, the accessibility bus, dogtail),
and the servers it talks to on 127.0.0.1; also used by scripts/ and bench/."""
import contextlib
import logging
import mailbox
import os
import re
import shutil
import signal
import socket
import subprocess
import threading
import time
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
PYTHON = "/usr/bin/python3"
DATE_TIME = rb"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d"
WAIT_S = 20.0


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(predicate, timeout=WAIT_S, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")


def wait_port(port, timeout=WAIT_S):
    def up():
        with socket.socket() as s:
            return s.connect_ex(("127.0.0.1", port)) == 0

    wait_for(up, timeout, f"a server on port {port}")


def read_bytes(path):
    """The file's bytes; b"" while it does not exist."""
    with contextlib.suppress(FileNotFoundError):
        return Path(path).read_bytes()
    return b""


def write_atomically(path, data, mode=0o644):
    """Readers (the page server, the program) never see half a file."""
    tmp = Path(path).with_name("." + Path(path).name + ".tmp")
    tmp.write_bytes(data)
    os.chmod(tmp, mode)
    os.replace(tmp, path)


def cfg_bytes(sections):
    """Settings file bytes (Windows-1252, CR LF) from {section: [(key, value), ...]}."""
    out = []
    for section, keys in dict(sections).items():
        out += [f"[{section}]"] + [f"{k}={v}" for k, v in keys]
    return ("\r\n".join(out) + "\r\n").encode("cp1252")


def program_folder(binary, folder, cfg=None, files=None):
    """corvane copied into `folder`, with its settings file and other files if given."""
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy2(binary, folder / "corvane")
    for name, data in [("Corvane.cfg", cfg), *(files or {}).items()]:
        if data is not None:
            (folder / name).write_bytes(data)


class Processes:
    """Child processes, each in a session of its own, all stopped by close()."""

    def __init__(self):
        self.procs = []

    def start(self, args, **kw):
        kw = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, **kw}
        self.procs.append(subprocess.Popen(args, start_new_session=True, **kw))
        return self.procs[-1]

    def stop(self, p, timeout=5):
        for sig in (signal.SIGTERM, signal.SIGKILL):
            with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
                if p.poll() is None:
                    os.killpg(p.pid, sig)
                    p.wait(timeout)

    def close(self):
        for p in reversed(self.procs):
            self.stop(p)
        self.procs.clear()


class DetectionPage:
    """Answers every GET with the file `answer` (404 while there is none), which another
    process (demo.py change-ip) may change between two checks."""

    def __init__(self, folder):
        self.answer_file = answer_file = Path(folder) / "answer"

        class Handler(SimpleHTTPRequestHandler):
            def translate_path(self, path):
                return str(answer_file)

            def log_message(self, *args):
                pass

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def url(self):
        return f"http://127.0.0.1:{self.port}/ip_check.php"

    def set_answer(self, text):
        write_atomically(self.answer_file, text.encode())

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class MailServer:
    """Takes every message into the Maildir `folder` (X-RcptTo holds its recipients)."""

    def __init__(self, folder):
        from aiosmtpd.controller import Controller
        from aiosmtpd.handlers import Mailbox

        logging.getLogger("mail.log").setLevel(logging.CRITICAL)
        self.folder = Path(folder)
        self.port = free_port()
        self.server = f"127.0.0.1:{self.port}"
        self.controller = Controller(Mailbox(str(self.folder)), hostname="127.0.0.1",
                                     port=self.port)
        self.controller.start()

    def messages(self):
        return list(mailbox.Maildir(self.folder, create=False)) if self.folder.exists() else []

    def close(self):
        self.controller.stop()


class FtpServer:
    """One user with write access to `root`."""

    def __init__(self, root, user, password):
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.handlers import FTPHandler
        from pyftpdlib.servers import ThreadedFTPServer

        # A handler of ours, or pyftpdlib logs every command.
        logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())
        logging.getLogger("pyftpdlib").setLevel(logging.WARNING)
        handler = type("Handler", (FTPHandler,), {"authorizer": DummyAuthorizer()})
        handler.authorizer.add_user(user, password, str(root), perm="elradfmwMT")
        self.server = ThreadedFTPServer(("127.0.0.1", 0), handler)
        self.port = self.server.address[1]
        self.host = f"127.0.0.1:{self.port}"
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):  # pyftpdlib's loop is not thread-safe: it runs and closes here
        while not self._stop.is_set():
            self.server.serve_forever(timeout=0.1, blocking=False)
        self.server.close_all()

    def close(self):
        self._stop.set()
        self._thread.join(WAIT_S)


class Desktop(Processes):
    """Xvfb and openbox; with `accessible`, a D-Bus session, the accessibility bus and
    dogtail's view of it, `tree`."""

    def __init__(self, accessible=True):
        super().__init__()
        from pyvirtualdisplay import Display

        self.screen = Display(backend="xvfb", size=(1024, 768), color_depth=24,
                              extra_args=["-nolisten", "tcp"])
        self.screen.start()  # sets DISPLAY
        self.dbus_pid = None
        if accessible:
            from dbusmock import DBusTestCase

            self.dbus_pid, os.environ["DBUS_SESSION_BUS_ADDRESS"] = DBusTestCase.start_dbus()
            self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        for _ in range(3):  # openbox, up before any window is shown, sometimes falls at start
            self.wm = self.start(["openbox"])
            with contextlib.suppress(AssertionError):
                wait_for(lambda: self.wm.poll() is None and subprocess.run(
                    ["wmctrl", "-m"], capture_output=True).returncode == 0, 10, "openbox")
                break
            self.stop(self.wm)
        else:
            raise RuntimeError("openbox did not start")
        if accessible:  # dogtail once the bus is known: no logs, pauses, endless searches
            from dogtail.config import config

            config.checkForA11y = False  # set through GSettings on a desktop session; not here
            config.logDebugToFile = config.logDebugToStdOut = False
            config.actionDelay = config.defaultDelay = 0
            config.searchBackoffDuration = 0.2
            config.searchCutoffCount = int(WAIT_S / 0.2)
            from dogtail import tree

            self.tree = tree

    def close(self):
        super().close()
        if self.dbus_pid:
            with contextlib.suppress(ProcessLookupError):
                os.kill(self.dbus_pid, signal.SIGTERM)
        self.screen.stop()


def stdout_of(*args):
    return subprocess.run(args, capture_output=True, text=True, timeout=WAIT_S).stdout


def window_ids(name=None, pid=None):
    """The visible X windows with that exact caption and/or of that process."""
    pid_args = ["--pid", str(pid)] if pid else []
    return stdout_of("xdotool", "search", "--all", "--onlyvisible", *pid_args, "--name",
                     "" if name is None else f"^{re.escape(name)}$").split()


def close_window(wid):
    """As the window's close box does."""
    subprocess.run(["wmctrl", "-i", "-c", hex(int(wid))], check=True, timeout=WAIT_S)


class Program:
    """corvane in a program folder of its own, its working directory, with its output in
    `output` beside it; without `binary`, one another process started there (see attach)."""

    def __init__(self, desktop, binary, folder, cfg=None, files=None):
        self.desktop, self.dir, self.proc = desktop, Path(folder), None
        self.output = self.dir.parent / (self.dir.name + ".out")
        if binary:
            program_folder(binary, self.dir, cfg, files)

    def start(self):
        self.stop()
        # The French interface the tests read, whatever the machine's locale.
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                   LC_ALL="C.UTF-8")
        with open(self.output, "ab") as out:
            self.proc = self.desktop.start([str(self.dir / "corvane")], cwd=self.dir, env=env,
                                           stdout=out, stderr=subprocess.STDOUT)
        return self.attach(self.proc.pid)

    def attach(self, pid):
        """The accessible application of process `pid` (an ended one stays listed a while)."""
        def its_app(node):
            with contextlib.suppress(Exception):
                return node.roleName == "application" and node.get_process_id() == pid

        self.pid = pid
        self.app = self.desktop.tree.root.findChild(its_app, recursive=False,
                                                    debugName=f"the program (pid {pid})")
        # The window is up: its Start button, which reads Stop when the watch starts at launch.
        self.app.findChild(lambda n: n.roleName == "push button" and n.name in ("Start", "Stop"),
                           debugName="the Start button")
        return self

    def press(self, caption):
        self.app.child(name=caption, roleName="push button").doActionNamed("Press")

    def menu(self, caption):
        self.app.findChild(lambda n: n.name == caption and n.roleName.endswith("menu item"),
                           debugName=f"the menu {caption!r}").doActionNamed("Press")

    def showing(self, title):
        return bool(window_ids(name=title, pid=self.pid))

    def ask_close(self):
        """The close box of the main window, again if the window was still being mapped; the
        exit question's Yes button."""
        wid = wait_for(lambda: window_ids(name="Corvane", pid=self.pid), 10, "the main window")[0]
        for _ in range(3):
            close_window(wid)
            with contextlib.suppress(AssertionError):
                return wait_for(self.exit_button, 8, "the exit question")
        raise AssertionError("no exit question after three closes")

    def exit_button(self):
        """The exit question's Yes button at once, or None (the demo's follows the locale)."""
        return self.app.findChild(lambda n: n.roleName == "push button" and n.name in (
            "&Oui", "Oui", "&Yes", "Yes"), retry=False, requireResult=False)

    def quit(self):
        """Closes the main window and answers Yes; the exit status."""
        self.ask_close().doActionNamed("Press")
        return self.proc.wait(WAIT_S)

    def stop(self):
        if self.proc is not None:
            self.desktop.stop(self.proc)

    def log(self):
        return read_bytes(self.dir / "corvane.log")

    def wait_log(self, pattern, what=None, timeout=WAIT_S):
        """The match of the regular expression (bytes) in corvane.log, once there is one."""
        rx = re.compile(pattern, re.S)
        return wait_for(lambda: rx.search(self.log()), timeout,
                        what or f"{pattern!r} in corvane.log")
