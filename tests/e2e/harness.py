"""A desktop for end-to-end runs of the real corvane binary.

Desktop: Xvfb on a free display, a D-Bus session, the accessibility bus and openbox, so the
program's windows are driven as a person would: buttons pressed and menus chosen through the
accessibility tree, the window closed with the window manager's own key.
Program: a temporary program folder holding a copy of the binary and its "Corvane.cfg".
Peers: real servers (php -S, the SMTP sink, pyftpdlib) on free ports of 127.0.0.1.
Everything started here is stopped by close().
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE = HERE.parent.parent
PYTHON = "/usr/bin/python3"
DATE_TIME = rb"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(predicate, timeout=15.0, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")


def wait_port(port, timeout=15.0):
    def up():
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.3):
                return True
        except OSError:
            return False

    wait_for(up, timeout, f"a server on port {port}")


def cfg_bytes(sections):
    """Settings file bytes (Windows-1252, CR LF) from {section: [(key, value), ...]}."""
    out = []
    for section, keys in sections.items():
        out.append(f"[{section}]")
        out.extend(f"{k}={v}" for k, v in keys)
    return ("\r\n".join(out) + "\r\n").encode("cp1252")


def log_pattern(entries, head=b""):
    """A regular expression matching a log made of `entries` [(libelle, ip), ...] exactly,
    the date and time of each entry being any valid stamp."""
    parts = [re.escape(head)]
    for libelle, ip in entries:
        parts.append(re.escape(b"\n" + libelle + b"\r\n") + DATE_TIME +
                     re.escape(b"\r\nIP = " + ip + b"\r\n"))
    return re.compile(b"".join(parts) + rb"\Z", re.S)


class Processes:
    def __init__(self):
        self.procs = []

    def start(self, args, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(args, start_new_session=True, **kw)
        self.procs.append(p)
        return p

    def stop(self, p, timeout=5):
        if p.poll() is None:
            try:
                os.killpg(p.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                p.wait(timeout)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait(timeout)

    def close(self):
        for p in reversed(self.procs):
            self.stop(p)
        self.procs.clear()


class Desktop(Processes):
    def __init__(self):
        super().__init__()
        r, w = os.pipe()
        self.xvfb = self.start(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24",
                                "-nolisten", "tcp"], pass_fds=(w,))
        os.close(w)
        with os.fdopen(r) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = f":{number}"
        os.environ["DISPLAY"] = self.display
        out = subprocess.run(["dbus-launch", "--sh-syntax"], capture_output=True, text=True,
                             check=True).stdout
        self.dbus_pid = None
        for name, value in re.findall(r"(\w+)='?([^';\n]*)'?;", out):
            if name == "DBUS_SESSION_BUS_ADDRESS":
                os.environ[name] = value
            elif name == "DBUS_SESSION_BUS_PID":
                self.dbus_pid = int(value)
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        self.start_window_manager()
        import pyatspi  # after DISPLAY and the session bus are set

        # A program that died stays listed for a while; calls into it must fail fast.
        pyatspi.setTimeout(2000, 15000)
        self.atspi = pyatspi

    def start_window_manager(self):
        """openbox, up and answering the window-manager protocol before anything is shown:
        the tests close windows through it."""
        for _ in range(3):
            wm = self.start(["openbox"])
            try:
                wait_for(lambda: wm.poll() is not None or subprocess.run(
                    ["wmctrl", "-m"], capture_output=True).returncode == 0, 10,
                    "the window manager")
            except AssertionError:
                pass
            if wm.poll() is None and subprocess.run(["wmctrl", "-m"],
                                                    capture_output=True).returncode == 0:
                self.wm = wm
                return
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

    def screenshot(self, path, window_name=None):
        target = "root"
        if window_name:
            ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                  f"^{re.escape(window_name)}$"], capture_output=True,
                                 text=True).stdout.split()
            if ids:
                target = ids[-1]
        subprocess.run(["import", "-window", target, "-frame", str(path)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Program:
    """The real corvane in a program folder of its own (also its working directory)."""

    def __init__(self, desktop, binary, cfg=None, files=None):
        self.desktop = desktop
        self.dir = Path(tempfile.mkdtemp(prefix="corvane-e2e-"))
        shutil.copy2(binary, self.dir / "corvane")
        if cfg is not None:
            (self.dir / "Corvane.cfg").write_bytes(cfg)
        for name, data in (files or {}).items():
            (self.dir / name).write_bytes(data)
        self.proc = None
        self.app = None
        self.any_pid = False  # a program started under a debugger has another pid

    def path(self, name):
        return self.dir / name

    def start(self, timeout=20, prefix=()):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.stop()
        self.out = open(self.dir.parent / (self.dir.name + ".out"), "wb")
        self.proc = self.desktop.start([*prefix, str(self.dir / "corvane")], cwd=self.dir, env=env,
                                       stdout=self.out, stderr=subprocess.STDOUT)
        self.app = wait_for(self._find_app, timeout + 10, "the program in the accessibility tree")
        wait_for(lambda: self.find("push button", "Start"), timeout, "the Start button")
        return self

    def _find_app(self):
        desktop = self.desktop.atspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.name == "Corvane" and \
                        (self.any_pid or app.get_process_id() == self.proc.pid):
                    return app
            except Exception:
                continue
        return None

    def nodes(self, root=None):
        stack = [root or self.app]
        while stack:
            n = stack.pop()
            if n is None:
                continue
            yield n
            try:
                stack.extend(list(n))
            except Exception:
                pass

    def find(self, role, name=None, root=None):
        for n in self.nodes(root):
            try:
                if n.getRoleName() == role and (name is None or n.name == name):
                    return n
            except Exception:
                continue
        return None

    def find_all(self, role, root=None):
        return [n for n in self.nodes(root) if self._role(n) == role]

    @staticmethod
    def _role(n):
        try:
            return n.getRoleName()
        except Exception:
            return None

    def act(self, role, name, action=0, timeout=10):
        node = wait_for(lambda: self.find(role, name), timeout, f"{role} {name!r}")
        node.queryAction().doAction(action)
        return node

    def press(self, caption):
        return self.act("push button", caption)

    def menu(self, caption):
        return self.act("check menu item", caption) if self.find("check menu item", caption) \
            else self.act("menu item", caption)

    def label_texts(self):
        return [n.name for n in self.find_all("label")]

    def window_id(self, name="Corvane"):
        ids = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                              "--name", f"^{re.escape(name)}$"], capture_output=True,
                             text=True).stdout.split()
        return ids[0] if ids else None

    def ask_close(self):
        """Closes the main window through the window manager, as its close box does; the exit
        question comes up. A request the window manager dropped (the window was still being
        mapped or raised) is sent again; while the question is open, a repeat is ignored."""
        wid = wait_for(self.window_id, 10, "the main window")
        if self.desktop.wm.poll() is not None:
            self.desktop.start_window_manager()
        for attempt in range(3):
            subprocess.run(["wmctrl", "-i", "-c", hex(int(wid))], check=True)
            try:
                return wait_for(lambda: self.find("push button", "&Yes") or
                                self.find("push button", "Yes"), 8, "the exit question")
            except AssertionError:
                if attempt == 2:
                    wins = subprocess.run(["wmctrl", "-l", "-p"], capture_output=True,
                                          text=True).stdout
                    tree = [(self._role(n), getattr(n, "name", None)) for n in self.nodes()]
                    raise AssertionError(f"no exit question; windows:\n{wins}\ntree: {tree}")

    def quit(self, timeout=20):
        self.ask_close().queryAction().doAction(0)  # "Yes"
        self.proc.wait(timeout)
        return self.proc.returncode

    def stop(self):
        if self.proc is not None:
            self.desktop.stop(self.proc)
        if getattr(self, "out", None):
            self.out.close()
            self.out = None

    def cleanup(self):
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)
        self.output_path().unlink(missing_ok=True)

    def output_path(self):
        """What the program wrote on its standard output and error (kept beside its folder)."""
        return self.dir.parent / (self.dir.name + ".out")

    def discard(self):
        self.cleanup()

    def log(self):
        return read_bytes(self.path("corvane.log"))

    def wait_log(self, pattern, timeout=20, what=None):
        """Waits until "corvane.log" matches the regular expression (bytes); the match."""
        rx = re.compile(pattern, re.S) if isinstance(pattern, bytes) else pattern
        return wait_for(lambda: rx.search(self.log()), timeout,
                        what or f"{rx.pattern!r} in corvane.log")

    def frame(self, title):
        """The accessible frame of one of the program's windows, by its caption."""
        for app_child in list(self.app):
            try:
                if app_child.name == title:
                    return app_child
            except Exception:
                continue
        return None

    @staticmethod
    def text_of(node):
        """The whole text of an accessible text box, line ends as "\\n"."""
        t = node.queryText()
        s = t.getText(0, t.characterCount)
        return s.replace("\r\n", "\n").replace("\u2029", "\n").replace("\r", "\n")


class PhpPage(Processes):
    """php -S serving a folder; `answer.php` echoes the file `answer` so a test can change
    what the page says, and the shipped ip_check.php answers the caller's address."""

    def __init__(self):
        super().__init__()
        self.root = Path(tempfile.mkdtemp(prefix="corvane-php-"))
        (self.root / "php").mkdir()
        shutil.copy2(SOURCE / "resources" / "ip_check.php", self.root / "php" / "ip_check.php")
        (self.root / "answer.php").write_text(
            "<?php\n$f = __DIR__ . '/answer';\nif (!is_file($f)) { http_response_code(404);"
            " echo 'Not Found'; exit; }\nheader('Cache-Control: no-store');\n"
            "echo file_get_contents($f);\n")
        self.port = free_port()
        self.start(["php", "-S", f"127.0.0.1:{self.port}", "-t", str(self.root)])
        wait_port(self.port)

    def url(self, path="/answer.php"):
        return f"http://127.0.0.1:{self.port}{path}"

    def set_answer(self, text):
        tmp = self.root / "answer.tmp"
        tmp.write_bytes(text.encode() if isinstance(text, str) else text)
        tmp.replace(self.root / "answer")

    def remove_answer(self):
        (self.root / "answer").unlink(missing_ok=True)

    def close(self):
        super().close()
        shutil.rmtree(self.root, ignore_errors=True)


_desktop = None


def desktop():
    """The one desktop of this test process: the accessibility library binds itself to the
    first session bus it meets, so every test of a process shares it. Closed at exit."""
    global _desktop
    if _desktop is None:
        import atexit

        _desktop = Desktop()
        atexit.register(_desktop.close)
        # Each program folder is new and the program keeps its single-instance lock in the
        # runtime folder: the locks go to a folder of this run's own (the session services
        # above keep the one they started with).
        runtime = tempfile.mkdtemp(prefix="corvane-run-")
        os.environ["XDG_RUNTIME_DIR"] = runtime
        atexit.register(shutil.rmtree, runtime, True)
    return _desktop


def binary_from_args():
    if len(sys.argv) > 1 and sys.argv[1].startswith("--binary="):
        return sys.argv.pop(1).split("=", 1)[1]
    return os.environ.get("CORVANE_BINARY", str(SOURCE / "build" / "corvane"))


def read_bytes(path):
    """The bytes of a file, or b"" while it does not exist."""
    try:
        return Path(path).read_bytes()
    except FileNotFoundError:
        return b""


def corvane_cfg(ip_page, last_ip="xxx.xxx.xxx.xxx", mail="0", upload="0", debug="0",
                smtp=(), ftp=(), addresses=()):
    """A whole "Corvane.cfg" for a change-driven run: `smtp` and `ftp` are [(key, value), ...]
    for their sections, `addresses` the values of "Adresse N°1" onwards (the rest empty)."""
    addresses = list(addresses) + [""] * (10 - len(addresses))
    return cfg_bytes({
        "IP": [("Derniere IP", last_ip)],
        "ADRESSE HTTP": [("adresse de IP detect.php", ip_page)],
        "ADRESSE FTP": list(ftp),
        "OPTION": [("Sauve Log", "1"), ("Bip changement IP", "0"), ("Mail Auto", mail),
                   ("Upload fichier", upload), ("Mode Debug", debug)],
        "SMTP": list(smtp) + [(f"Adresse N\u00b0{i + 1}", a) for i, a in enumerate(addresses)],
        "REGLAGE": [("Valeur_Bouton_Tempo", "0")],
    })


class SmtpSink(Processes):
    """tests/support/smtp_sink.py on a free port: every accepted message becomes one file of
    its folder, read back by messages() as (envelope sender, [recipients], data bytes)."""

    def __init__(self, refuse=()):
        super().__init__()
        self.dir = Path(tempfile.mkdtemp(prefix="corvane-smtp-"))
        self.port = free_port()
        args = [PYTHON, str(SOURCE / "tests" / "support" / "smtp_sink.py"),
                "--port", str(self.port), "--dir", str(self.dir)]
        for address in refuse:
            args += ["--refuse", address]
        self.proc = self.start(args)
        wait_port(self.port)

    @property
    def server(self):
        return f"127.0.0.1:{self.port}"

    def files(self):
        return sorted(p for p in self.dir.iterdir() if p.suffix == ".eml")

    def messages(self):
        out = []
        for f in self.files():
            head, _, data = f.read_bytes().partition(b"\r\n\r\n")
            lines = head.split(b"\r\n")
            sender = re.fullmatch(rb"MAIL FROM:<(.*)>", lines[0]).group(1)
            rcpts = [re.fullmatch(rb"RCPT TO:<(.*)>", r).group(1) for r in lines[1:]]
            out.append((sender, rcpts, data))
        return out

    def close(self):
        super().close()
        shutil.rmtree(self.dir, ignore_errors=True)


class Listener:
    """A bare TCP listener on a free port that only counts the connections made to it, for
    proving that nothing connected at all."""

    def __init__(self):
        import threading

        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.count = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop.is_set():
            try:
                conn, _ = self.sock.accept()
            except (socket.timeout, OSError):
                continue
            self.count += 1
            conn.close()

    @property
    def server(self):
        return f"127.0.0.1:{self.port}"

    def close(self):
        self._stop.set()
        self._thread.join(5)
        self.sock.close()


class FtpServer(Processes):
    """pyftpdlib's stand-alone server for one user with write access to a folder of its own;
    restart() brings it back (same port and folder unless told) with another password."""

    def __init__(self, user="corvane", password="secret"):
        super().__init__()
        self.root = Path(tempfile.mkdtemp(prefix="corvane-ftp-"))
        self.port = free_port()
        self.user = user
        self.proc = None
        self.restart(password)

    @property
    def host(self):
        return f"127.0.0.1:{self.port}"

    def restart(self, password):
        self.halt()
        self.password = password
        self.proc = self.start([PYTHON, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", str(self.port),
                                "-u", self.user, "-P", password, "-d", str(self.root), "-w"])
        wait_port(self.port)

    def halt(self):
        """Stops the server; its port then refuses connections."""
        if self.proc is not None:
            self.stop(self.proc)
            self.procs.remove(self.proc)
            self.proc = None

    def tree(self):
        """Every folder and file under the root, relative, folders ending with "/"."""
        out = []
        for dirpath, dirnames, filenames in os.walk(self.root):
            rel = Path(dirpath).relative_to(self.root)
            out += [f"{(rel / d).as_posix()}/" for d in dirnames]
            out += [(rel / f).as_posix() for f in filenames]
        return sorted(out)

    def close(self):
        super().close()
        shutil.rmtree(self.root, ignore_errors=True)
