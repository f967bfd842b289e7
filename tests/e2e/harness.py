"""The real corvane on a desktop of its own (Xvfb, a D-Bus session with the accessibility bus,
openbox; driven through dogtail as a person drives it), and the servers it talks to, threads of
this process on free ports of 127.0.0.1. Used by the end-to-end tests, scripts/demo.py,
scripts/screenshots.py and bench/."""
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
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
PYTHON = "/usr/bin/python3"
DATE_TIME = rb"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d"
# The longest any window, program or server is waited for.
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
    try:
        return Path(path).read_bytes()
    except FileNotFoundError:
        return b""


def write_atomically(path, data, mode=0o644):
    """Readers (the page server, the program) never see half a file."""
    path = Path(path)
    tmp = path.with_name("." + path.name + ".tmp")
    tmp.write_bytes(data)
    os.chmod(tmp, mode)
    os.replace(tmp, path)


def cfg_bytes(sections):
    """Settings file bytes (Windows-1252, CR LF) from {section: [(key, value), ...]}."""
    out = []
    for section, keys in dict(sections).items():
        out.append(f"[{section}]")
        out.extend(f"{k}={v}" for k, v in keys)
    return ("\r\n".join(out) + "\r\n").encode("cp1252")


class Processes:
    """Child processes, each in a session of its own, all stopped by close()."""

    def __init__(self):
        self.procs = []

    def start(self, args, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(args, start_new_session=True, **kw)
        self.procs.append(p)
        return p

    def stop(self, p, timeout=5):
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                if p.poll() is None:
                    os.killpg(p.pid, sig)
                    p.wait(timeout)
                return
            except ProcessLookupError:
                return
            except subprocess.TimeoutExpired:
                pass

    def close(self):
        for p in reversed(self.procs):
            self.stop(p)
        self.procs.clear()


class DetectionPage:
    """Answers every GET with the bytes of the file `answer` in its folder, 404 while there is
    none: another process (demo.py change-ip) may change it between two checks."""

    def __init__(self, folder):
        self.answer_file = answer_file = Path(folder) / "answer"

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):
                if not answer_file.exists():
                    return self.send_error(404)
                body = read_bytes(answer_file)
                self.send_response(200)
                self.send_header("Content-Type", "text/plain; charset=us-ascii")
                self.send_header("Cache-Control", "no-store")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

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
        self.controller = Controller(Mailbox(str(self.folder)), hostname="127.0.0.1",
                                     port=self.port)
        self.controller.start()

    @property
    def server(self):
        return f"127.0.0.1:{self.port}"

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

        # Configured, so pyftpdlib does not set up its own logging of every command.
        logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())
        logging.getLogger("pyftpdlib").setLevel(logging.WARNING)
        authorizer = DummyAuthorizer()
        authorizer.add_user(user, password, str(root), perm="elradfmwMT")
        handler = type("Handler", (FTPHandler,), {"authorizer": authorizer})
        self.server = ThreadedFTPServer(("127.0.0.1", 0), handler)
        self.port = self.server.address[1]
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):  # pyftpdlib's loop is not thread-safe: it runs and closes here
        while not self._stop.is_set():
            self.server.serve_forever(timeout=0.1, blocking=False)
        self.server.close_all()

    @property
    def host(self):
        return f"127.0.0.1:{self.port}"

    def close(self):
        self._stop.set()
        self._thread.join(WAIT_S)


class Desktop(Processes):
    """A virtual screen with openbox; with `accessible`, also a D-Bus session and the
    accessibility bus, and `tree` is dogtail's view of it."""

    def __init__(self, accessible=True):
        super().__init__()
        from pyvirtualdisplay import Display

        self.screen = Display(backend="xvfb", size=(1024, 768), color_depth=24,
                              extra_args=["-nolisten", "tcp"])
        self.screen.start()  # sets DISPLAY
        self.dbus_pid = None
        if accessible:
            out = subprocess.run(["dbus-launch", "--sh-syntax"], capture_output=True, text=True,
                                 check=True, timeout=WAIT_S).stdout
            for name, value in re.findall(r"(\w+)='?([^';\n]*)'?;", out):
                if name == "DBUS_SESSION_BUS_ADDRESS":
                    os.environ[name] = value
                elif name == "DBUS_SESSION_BUS_PID":
                    self.dbus_pid = int(value)
            self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        self.start_window_manager()
        if accessible:
            self.tree = dogtail_tree()

    def start_window_manager(self):
        """openbox, up before any window is shown."""
        for _ in range(3):
            wm = self.start(["openbox"])
            try:
                wait_for(lambda: wm.poll() is not None or subprocess.run(
                    ["wmctrl", "-m"], capture_output=True).returncode == 0, 10,
                    "the window manager")
                if wm.poll() is None:
                    self.wm = wm
                    return
            except AssertionError:
                pass
            self.stop(wm)
        raise RuntimeError("openbox did not start")

    def close(self):
        super().close()
        if self.dbus_pid:
            try:
                os.kill(self.dbus_pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            self.dbus_pid = None
        self.screen.stop()


def dogtail_tree():
    """dogtail once the session bus is known: no log files, no pauses, bounded searches."""
    from dogtail.config import config

    config.checkForA11y = False  # set through GSettings on a desktop session; not here
    config.logDebugToFile = False
    config.logDebugToStdOut = False
    config.actionDelay = 0
    config.defaultDelay = 0
    config.searchBackoffDuration = 0.2
    config.searchCutoffCount = int(WAIT_S / 0.2)
    from dogtail import tree

    return tree


def window_ids(name=None, pid=None):
    """The visible X windows with that exact caption and/or of that process."""
    args = ["xdotool", "search", "--all", "--onlyvisible"]
    if pid is not None:
        args += ["--pid", str(pid)]
    args += ["--name", f"^{re.escape(name)}$" if name else ""]
    return subprocess.run(args, capture_output=True, text=True, timeout=WAIT_S).stdout.split()


class Program:
    """The real corvane in a program folder of its own, also its working directory; what it
    writes on its standard output and error goes to `output`, beside the folder."""

    def __init__(self, desktop, binary, folder, cfg=None, files=None):
        self.desktop = desktop
        self.dir = Path(folder)
        self.dir.mkdir(parents=True, exist_ok=True)
        self.output = self.dir.parent / (self.dir.name + ".out")
        shutil.copy2(binary, self.dir / "corvane")
        if cfg is not None:
            (self.dir / "Corvane.cfg").write_bytes(cfg)
        for name, data in (files or {}).items():
            (self.dir / name).write_bytes(data)
        self.proc = None
        self.app = None

    @classmethod
    def of(cls, desktop, folder, pid):
        """The program another process started in `folder`, as process `pid`."""
        p = cls.__new__(cls)
        p.desktop, p.dir, p.proc = desktop, Path(folder), None
        return p.attach(pid)

    def path(self, name):
        return self.dir / name

    def start(self):
        self.stop()
        # The French interface the tests read, whatever the machine's locale.
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                   LC_ALL="C.UTF-8")
        with open(self.output, "ab") as out:
            self.proc = self.desktop.start([str(self.dir / "corvane")], cwd=self.dir, env=env,
                                           stdout=out, stderr=subprocess.STDOUT)
        self.attach(self.proc.pid)
        return self

    def attach(self, pid):
        """The accessible application of process `pid` (an ended one stays listed a while)."""
        def its_app(node):
            try:
                return node.roleName == "application" and node.get_process_id() == pid
            except Exception:
                return False

        self.pid = pid
        self.app = self.desktop.tree.root.findChild(its_app, recursive=False,
                                                    debugName=f"the program (pid {pid})")
        self.button("Start")
        return self

    def button(self, caption):
        return self.app.child(name=caption, roleName="push button")

    def find(self, role, name):
        """The node with that role and name, or None, at once."""
        return self.app.findChild(lambda n: n.roleName == role and n.name == name, retry=False,
                                  requireResult=False)

    def press(self, caption):
        self.button(caption).doActionNamed("Press")

    def menu(self, caption):
        self.app.findChild(lambda n: n.name == caption and n.roleName.endswith("menu item"),
                           debugName=f"the menu {caption!r}").doActionNamed("Press")

    def showing(self, title):
        return bool(window_ids(name=title, pid=self.pid))

    def labels(self):
        return [n.name for n in self.app.findChildren(lambda n: n.roleName == "label",
                                                      isLambda=True)]

    def ask_close(self):
        """Closes the main window as its close box does; the exit question's Yes button. A request
        dropped while the window was being mapped is sent again."""
        wid = wait_for(lambda: window_ids(name="Corvane", pid=self.pid), 10, "the main window")[0]
        for attempt in range(3):
            subprocess.run(["wmctrl", "-i", "-c", hex(int(wid))], check=True, timeout=WAIT_S)
            try:
                return wait_for(lambda: self.exit_button(), 8, "the exit question")
            except AssertionError:
                if attempt == 2:
                    raise

    def exit_button(self):
        """The exit question's Yes button, in the program's language (the demo's follows the
        machine's locale)."""
        for name in ("&Oui", "Oui", "&Yes", "Yes"):
            button = self.find("push button", name)
            if button:
                return button
        return None

    def quit(self):
        """Closes the main window and answers Yes; the exit status."""
        self.ask_close().doActionNamed("Press")
        return self.proc.wait(WAIT_S)

    def stop(self):
        if self.proc is not None:
            self.desktop.stop(self.proc)

    def log(self):
        return read_bytes(self.path("corvane.log"))

    def wait_log(self, pattern, what=None, timeout=WAIT_S):
        """The match of the regular expression (bytes) in corvane.log, once there is one."""
        rx = re.compile(pattern, re.S)
        return wait_for(lambda: rx.search(self.log()), timeout,
                        what or f"{pattern!r} in corvane.log")
