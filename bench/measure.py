#!/usr/bin/python3
"""Runs every benchmark of bench/ against local peers, prints one table and writes
bench/RESULTS.md. Called by bench/run.sh after the Release build.

Usage: measure.py BUILD_DIR [--soak-checks N] [--cpu-seconds S]
       measure.py BUILD_DIR --startup-only   the real binary's first window beside an empty Qt
                                             main window; rewrites only its own section
       measure.py BUILD_DIR --engine-figures FILE
                                             the soak (with and without the window), the
                                             windowed binary's CPU while stopped and running
                                             (with and without the accessibility bus) and the
                                             start-up beside an empty window, as JSON in FILE;
                                             RESULTS.md is left alone
       measure.py BUILD_DIR --headless-figures FILE [--rounds N] [--cpu-seconds S]
                                             --headless beside the windowed program: resident
                                             memory, CPU time and wake-ups while watching, as
                                             JSON in FILE and medians printed
A full run rewrites the sections it measures (up to "Targets missed") and keeps every other
section of RESULTS.md as it is.
"""
import argparse
import datetime
import json
import os
import platform
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BENCH = Path(__file__).resolve().parent
sys.path.insert(0, str(BENCH.parent / "tests" / "e2e"))
import harness as h  # noqa: E402  (the e2e desktop, program folder and peers)

MIB = 1024.0


def run_json(args, timeout, **kw):
    out = subprocess.run(args, capture_output=True, text=True, timeout=timeout, **kw)
    lines = [line for line in out.stdout.splitlines() if line.startswith("{")]
    if out.returncode != 0 or not lines:
        raise RuntimeError(f"{args[0]} {args[1]} failed ({out.returncode}): {out.stderr[-800:]}")
    return json.loads(lines[-1])


def machine():
    model = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    mem_kib = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            mem_kib = int(line.split()[1])
    load = os.getloadavg()[0]
    return {"nproc": os.cpu_count(), "cpu": model, "ram_gib": mem_kib / MIB / MIB,
            "kernel": platform.release(), "load": load}


def config(url, extra=None):
    sections = {
        "IP": [("Derniere IP", "xxx.xxx.xxx.xxx")],
        "ADRESSE HTTP": [("adresse de IP detect.php", url)],
        "OPTION": [("Sauve Log", "1"), ("Bip changement IP", "0"), ("Mail Auto", "0"),
                   ("Upload fichier", "0"), ("Mode Debug", "0"), ("Color text console", "1")],
        "REGLAGE": [("Valeur_Bouton_Tempo", "2"), ("Langage Int", "oui"),
                    ("Taille fenetre", "complet"), ("Position H", "1500"), ("Position V", "1500"),
                    ("Toujours visible", "non")],
    }
    sections.update(extra or {})
    return h.cfg_bytes(sections)


def rss_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return -1


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    # fields[0] is the state (field 3); utime and stime are fields 14 and 15.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def thread_cpu_ns(pid):
    """CPU time of each live thread of the process, in nanoseconds (schedstat): utime and
    stime count in clock ticks of 10 ms, too coarse for the few milliseconds a minute of a
    waiting program takes."""
    times = {}
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            times[task.name] = int((task / "schedstat").read_text().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return times


def cpu_between(before, after):
    """CPU time (ns) the threads spent between two thread_cpu_ns() readings, and how many
    threads ended meanwhile: a thread born meanwhile counts whole, one that ended is left out
    (its time ended with it), so the figure is a lower bound when that count is not 0."""
    spent = sum(ns - before.get(tid, 0) for tid, ns in after.items())
    return spent, len(set(before) - set(after))


class Peers(h.Processes):
    """The detection page (php -S), the SMTP sink and an FTP server, all on 127.0.0.1."""

    def __init__(self):
        super().__init__()
        self.root = Path(tempfile.mkdtemp(prefix="corvane-bench-"))
        self.www = self.root / "www"
        (self.www / "php").mkdir(parents=True)
        shutil.copy2(BENCH.parent / "resources" / "ip_check.php", self.www / "php")
        (self.www / "answer.php").write_text(
            "<?php\nheader('Cache-Control: no-store');\n"
            "echo file_get_contents(__DIR__ . '/answer');\n")
        (self.www / "answer").write_text("198.51.100.1")
        self.http = h.free_port()
        self.start(["php", "-S", f"127.0.0.1:{self.http}", "-t", str(self.www)])
        self.mail_dir = self.root / "mail"
        self.mail_dir.mkdir()
        self.smtp = h.free_port()
        self.start([h.PYTHON, str(BENCH.parent / "tests" / "support" / "smtp_sink.py"),
                    "--port", str(self.smtp), "--dir", str(self.mail_dir)])
        self.ftp_dir = self.root / "ftp"
        self.ftp_dir.mkdir()
        self.ftp = h.free_port()
        self.start([h.PYTHON, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", str(self.ftp),
                    "-u", "bench", "-P", "bench-pass", "-d", str(self.ftp_dir), "-w"])
        for port in (self.http, self.smtp, self.ftp):
            h.wait_port(port)

    def url(self, path="/answer.php"):
        return f"http://127.0.0.1:{self.http}{path}"

    def close(self):
        super().close()
        shutil.rmtree(self.root, ignore_errors=True)


def micro(build):
    with tempfile.TemporaryDirectory() as cwd:
        out = subprocess.run([str(build / "bench" / "corvane_bench"), "--benchmark_format=json",
                              "--benchmark_min_time=0.2"], capture_output=True, text=True,
                             cwd=cwd, timeout=600, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    if out.returncode != 0:
        raise RuntimeError("corvane_bench failed: " + out.stderr[-800:])
    return {b["name"]: b for b in json.loads(out.stdout)["benchmarks"]}


def startup_offscreen(build, peers, runs=10):
    times, rss = [], []
    with tempfile.TemporaryDirectory() as folder:
        cfg = Path(folder) / "Corvane.cfg"
        cfg.write_bytes(config(peers.url()))
        for _ in range(runs):
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                       CORVANE_T0_NS=str(time.clock_gettime_ns(time.CLOCK_MONOTONIC)))
            r = run_json([str(build / "bench" / "corvane_headless"), "startup", str(cfg)], 60,
                         env=env, cwd=folder)
            times.append(r["startup_ms"])
            rss.append(r["rss_kib"])
    return statistics.median(times), statistics.median(rss)


def startup_xvfb(desktop, binary, peers, runs=10):
    """The real binary: launch, then wait until a visible window titled "Corvane" exists."""
    times, rss = [], []
    folder = Path(tempfile.mkdtemp(prefix="corvane-bench-"))
    program = h.Program(desktop, binary, folder / "program", config(peers.url()))
    try:
        env = dict(os.environ, QT_QPA_PLATFORM="xcb")
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        for _ in range(runs):
            t0 = time.monotonic()
            proc = desktop.start([str(program.dir / "corvane")], cwd=program.dir, env=env)
            try:
                # xdotool gives up on a window destroyed while it looks (BadWindow): once more.
                for attempt in range(3):
                    found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible",
                                            "--pid", str(proc.pid), "--name", "^Corvane$"],
                                           timeout=30, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
                    if found.returncode == 0:
                        break
                found.check_returncode()
                times.append((time.monotonic() - t0) * 1000)
                rss.append(rss_kib(proc.pid))
            finally:
                desktop.stop(proc)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return statistics.median(times), statistics.median(rss)


# Where the main window's Start button is, from the bottom left of the window's inside: the
# window is laid out in twips (15 to a pixel) under its menu line, whose height depends on the
# font, and the inside of the full window is 186 pixels high below it. The button's centre is
# at 1807 x 1567 twips in that area.
START_FROM_LEFT, START_FROM_BOTTOM = 120, 186 - 104


def cpu_windowed(binary, peers, seconds, accessible, alarm=False):
    """The real binary on a desktop of its own: CPU while stopped, then while running (Start
    clicked, interval "1h"), each over `seconds`. With `accessible`, the desktop has the
    accessibility bus and the program's bridge is on (as the e2e tests drive it); without, the
    program finds no session bus at all, and the click is an X pointer click (xdotool) on the
    Start button. The page answers the last address of the settings, so the Start check finds
    no change, unless `alarm`: then it finds one and the change alarm blinks the address labels
    at every tick of the measure. Times in ns from schedstat."""
    answer = "198.51.100.1"
    (peers.www / "answer").write_text(answer)
    last = {"IP": [("Derniere IP", "xxx.xxx.xxx.xxx" if alarm else answer)]}
    folder = Path(tempfile.mkdtemp(prefix="corvane-bench-"))
    desktop = h.Desktop(accessible=accessible)
    try:
        program = h.Program(desktop, binary, folder / "program", config(peers.url(), last))
        if accessible:
            program.start()
            pid = program.proc.pid
            start = lambda: program.press("Start")  # noqa: E731
        else:
            env = {k: v for k, v in os.environ.items()
                   if not k.startswith(("DBUS_", "QT_", "AT_SPI")) and k != "XDG_RUNTIME_DIR"}
            runtime = folder / "run"
            runtime.mkdir(mode=0o700)
            env.update(QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=str(runtime),
                       DBUS_SESSION_BUS_ADDRESS=f"unix:path={folder / 'no-bus'}")
            program.proc = desktop.start([str(program.dir / "corvane")], cwd=program.dir,
                                         env=env)
            pid = program.proc.pid
            wid = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                  str(pid), "--name", "^Corvane$"], capture_output=True,
                                 text=True, check=True, timeout=30).stdout.split()[0]

            def start():
                geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid],
                                          capture_output=True, text=True, check=True,
                                          timeout=30).stdout
                height = int(dict(line.split("=") for line in geometry.split())["HEIGHT"])
                subprocess.run(["xdotool", "mousemove", "--window", wid, str(START_FROM_LEFT),
                                str(height - START_FROM_BOTTOM), "click", "1"], check=True,
                               timeout=30)
        time.sleep(5)  # past the start's own work: the first paint, fonts, the log
        c0, t0 = thread_cpu_ns(pid), time.monotonic()
        time.sleep(seconds)
        (stopped, stopped_ended), stopped_span = cpu_between(c0, thread_cpu_ns(pid)), \
            time.monotonic() - t0
        start()
        program.wait_log(rb"\nStart : \r\n", "the Start entry")
        time.sleep(5)  # the first check and its entries
        c0, t0 = thread_cpu_ns(pid), time.monotonic()
        time.sleep(seconds)
        (running, running_ended), running_span = cpu_between(c0, thread_cpu_ns(pid)), \
            time.monotonic() - t0
        return {"stopped_ns": stopped, "stopped_s": stopped_span,
                "stopped_threads_ended": stopped_ended, "running_ns": running,
                "running_s": running_span, "running_threads_ended": running_ended,
                "rss_kib": rss_kib(pid), "threads": len(thread_cpu_ns(pid)),
                "load": os.getloadavg()[0]}
    finally:
        if 'program' in locals():
            program.stop()
        desktop.close()
        shutil.rmtree(folder, ignore_errors=True)


def cpu_floor(build, seconds):
    """CPU per hour of bench/voyant_seul.cpp on a desktop like cpu_windowed's: a window whose
    one-second timer does nothing ("idle") or blinks the program's indicator ("blink")."""
    binary = build / "bench" / "corvane_voyant_seul"
    folder = Path(tempfile.mkdtemp(prefix="corvane-bench-"))
    desktop = h.Desktop(accessible=False)
    found = {}
    try:
        runtime = folder / "run"
        runtime.mkdir(mode=0o700)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "QT_", "AT_SPI")) and k != "XDG_RUNTIME_DIR"}
        # As the program sets it for itself.
        env.update(QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=str(runtime), QT_XCB_NO_MITSHM="1",
                   DBUS_SESSION_BUS_ADDRESS=f"unix:path={folder / 'no-bus'}")
        for name, args in (("idle", ["--repos"]), ("blink", [])):
            proc = desktop.start([str(binary), *args], env=env)
            try:
                time.sleep(5)
                c0, t0 = thread_cpu_ns(proc.pid), time.monotonic()
                time.sleep(seconds)
                spent, _ = cpu_between(c0, thread_cpu_ns(proc.pid))
                found[name] = spent / 1e9 * 3600 / (time.monotonic() - t0)
            finally:
                desktop.stop(proc)
    finally:
        desktop.close()
        shutil.rmtree(folder, ignore_errors=True)
    return found


def first_paint(argv, cwd, env, settle=1.0, timeout=30):
    """Starts argv and watches the X server: (ms from the start to the window being mapped, ms
    to the first drawing into it, resident KiB `settle` seconds after that drawing). Every
    top-level window created meanwhile gets a DAMAGE object; the first damage reported on a
    window whose _NET_WM_PID is the program's is its first paint."""
    from Xlib import X
    from Xlib import display as xdisplay
    from Xlib.ext import damage

    d = xdisplay.Display()
    d.set_error_handler(lambda *_: None)  # a window gone or input-only: not the one watched
    try:
        d.damage_query_version()
        damage_notify = d.query_extension("DAMAGE").first_event + damage.DamageNotifyCode
        pid_atom = d.intern_atom("_NET_WM_PID")
        root = d.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        d.sync()

        def pid_of(window):
            try:
                prop = window.get_full_property(pid_atom, X.AnyPropertyType)
                return prop.value[0] if prop else None
            except Exception:
                return None

        t0 = time.monotonic()
        proc = subprocess.Popen(argv, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        mapped = painted = None
        try:
            while painted is None:
                if time.monotonic() - t0 > timeout or proc.poll() is not None:
                    raise RuntimeError(f"{argv[0]}: no window painted")
                if not d.pending_events():
                    select.select([d], [], [], 0.2)
                    continue
                e = d.next_event()
                now = time.monotonic()
                if e.type == X.CreateNotify and not e.override:
                    e.window.change_attributes(event_mask=X.StructureNotifyMask)
                    e.window.damage_create(damage.DamageReportNonEmpty)
                    d.flush()
                elif e.type == X.MapNotify and mapped is None and pid_of(e.window) == proc.pid:
                    mapped = now
                elif e.type == damage_notify and \
                        pid_of(d.create_resource_object("window", e.drawable.id)) == proc.pid:
                    painted = now
            time.sleep(settle)
            rss = rss_kib(proc.pid)
            libraries = mapped_libraries(proc.pid)
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, 15)
            proc.wait(10)
        return ((mapped - t0) * 1000 if mapped else float("nan"), (painted - t0) * 1000, rss,
                libraries)
    finally:
        d.close()


def startup_beside_empty_window(build, runs=10):
    """The real binary and an empty Qt main window, each copied into a folder of its own and
    started from it with the same environment on the same Xvfb and openbox, in turns. None of
    them has a session bus; "keyring" is the real binary again with the bus that libdbus starts
    on demand when none is named, where gnome-keyring answers: the passwords are then read at
    launch, as on a desktop with a keyring."""
    subprocess.run(["cmake", "--build", str(build), "--target", "corvane",
                    "corvane_empty_window"], check=True, stdout=subprocess.DEVNULL, timeout=1800)
    work = Path(tempfile.mkdtemp(prefix="corvane-bench-"))
    desktop = None
    try:
        desktop = h.Desktop(accessible=False)  # DISPLAY, for the environment below
        runtime = work / "run"
        runtime.mkdir(mode=0o700)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "QT_", "AT_SPI")) and k != "XDG_RUNTIME_DIR"}
        env.update(QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=str(runtime))
        no_bus = dict(env, DBUS_SESSION_BUS_ADDRESS=f"unix:path={work / 'no-bus'}")
        programs = {}
        for name, binary, args, its_env in (
                ("corvane", build / "corvane", [], no_bus),
                ("empty", build / "bench" / "corvane_empty_window", [], no_bus),
                ("text", build / "bench" / "corvane_empty_window", ["--texte"], no_bus),
                ("keyring", build / "corvane", [], env)):
            folder = work / name
            folder.mkdir()
            shutil.copy2(binary, folder / binary.name)
            programs[name] = ([str(folder / binary.name)] + args, its_env)
            # A settings file as a user has one, so that no first-start help window comes up.
            if binary.name == "corvane":
                (folder / "Corvane.cfg").write_bytes(config("http://127.0.0.1:9/"))
        figures = {name: [] for name in programs}
        for run in range(runs + 1):  # the first round warms the page cache, not counted
            for name, (argv, its_env) in programs.items():
                figure = first_paint(argv, Path(argv[0]).parent, its_env)
                if run:
                    figures[name].append(figure)
    finally:
        if desktop:
            desktop.close()
        shutil.rmtree(work, ignore_errors=True)
    found = {name: [statistics.median(f[i] for f in values) for i in range(3)]
             for name, values in figures.items()}
    # Counted in the process: ldd would not see the window's module, loaded by the program.
    found["libraries"] = {name: statistics.median(f[3] for f in values)
                          for name, values in figures.items()}
    return found


def write_startup_section(path, found, info):
    """Replaces (or appends) this measure's own section of RESULTS.md, leaving the others."""
    (up_map, up_paint, rss), (e_map, e_paint, e_rss) = found["corvane"], found["empty"]
    t_map, t_paint, t_rss = found["text"]
    k_rss = found["keyring"][2]
    ratio_paint, ratio_rss = up_paint / e_paint, rss / e_rss
    heading = "## Start-up beside an empty Qt window"

    def ok(r):
        return "met" if r <= 1.3 else "**missed**"

    section = "\n".join([
        heading,
        "",
        f"`bench/measure.py BUILD --startup-only`, run of "
        f"{datetime.datetime.now().strftime('%d/%m/%Y %H:%M')}, Release build; machine: "
        f"{info['nproc']} CPUs, load average {info['load']:.1f} at the start.",
        "",
        "| measure (median of 10) | corvane | empty QMainWindow | ratio | target | |"
        " window with a menu, a label and a button | its ratio to the empty one |"
        " corvane to it |",
        "|---|---|---|---|---|---|---|---|---|",
        f"| start to first paint of the window | {up_paint:.0f} ms | {e_paint:.0f} ms | "
        f"{ratio_paint:.2f} | <= 1.3 | {ok(ratio_paint)} | {t_paint:.0f} ms | "
        f"{t_paint / e_paint:.2f} | {up_paint / t_paint:.2f} |",
        f"| start to window mapped | {up_map:.0f} ms | {e_map:.0f} ms | {up_map / e_map:.2f} | "
        f"- | - | {t_map:.0f} ms | {t_map / e_map:.2f} | {up_map / t_map:.2f} |",
        f"| resident memory 1 s after the first paint | {rss / MIB:.1f} MiB | "
        f"{e_rss / MIB:.1f} MiB | {ratio_rss:.2f} | <= 1.3 | {ok(ratio_rss)} | "
        f"{t_rss / MIB:.1f} MiB | {t_rss / e_rss:.2f} | {rss / t_rss:.2f} |",
        f"| shared libraries mapped 1 s after the first paint | "
        f"{found['libraries']['corvane']:.0f} | {found['libraries']['empty']:.0f} | - | - | - | "
        f"{found['libraries']['text']:.0f} | - | - |",
        f"| resident memory with a keyring on the bus ({found['libraries']['keyring']:.0f} "
        f"libraries) | {k_rss / MIB:.1f} MiB | - | {k_rss / e_rss:.2f} | - | - | - | - | "
        f"{k_rss / t_rss:.2f} |",
        "",
        "- The programs are copied into a folder of their own and started from it with the same "
        "environment (QT_QPA_PLATFORM=xcb, a runtime folder of the run, a session bus address "
        "where none listens) on one "
        "Xvfb with openbox, in turns, after one round that is not counted; corvane finds a "
        "settings file there, so no first-start help window comes up. The empty window is "
        "bench/empty_window.cpp, built by bench's CMake with the same flags; with --texte it "
        "adds a menu bar of three menus, a label and a button, the least that puts text on "
        "screen (fonts, shaping, the menu bar), which the empty window never loads.",
        "- The keyring row is corvane again, with no bus named: libdbus then starts one on "
        "demand, where gnome-keyring answers, so the program reads its passwords at launch "
        "(once its window is painted) and maps the keyring's client libraries (QtKeychain "
        "loads libsecret, with GIO and libgcrypt). Its start-up time is not compared: starting "
        "that bus is part of it.",
        "- The clock starts just before the process is created. A watcher on the X server gives "
        "every new top-level window a DAMAGE object: the first damage reported on a window "
        "whose _NET_WM_PID is the program's is its first paint; MapNotify on it is the mapping. "
        "Resident memory is VmRSS one second after that paint.",
        "",
    ])
    text = path.read_text() if path.exists() else ""
    if heading in text:
        before, rest = text.split(heading, 1)
        after = rest[rest.find("\n## "):] if "\n## " in rest else ""
        text = before + section + after.lstrip("\n")
    else:
        text = text.rstrip("\n") + "\n\n" + section
    path.write_text(text)
    print(section)


def mapped_libraries(pid):
    """How many shared objects the process has mapped (the program's own included)."""
    return len({line.split()[5] for line in Path(f"/proc/{pid}/maps").read_text().splitlines()
                if len(line.split()) > 5 and ".so" in line.split()[5]})


def smaps_kib(pid):
    """Resident KiB of the process by kind, from /proc/PID/smaps_rollup: anonymous (heap,
    stacks) and file-backed (the mapped program and libraries)."""
    fields = {}
    for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines()[1:]:
        name, value = line.split(":", 1)
        fields[name] = int(value.split()[0])
    return {"rss": fields["Rss"], "pss": fields["Pss"], "anon": fields["Anonymous"],
            "file": fields["Rss"] - fields["Anonymous"]}


def switches(pid):
    """Context switches of each live thread so far: each wake-up of a sleeping thread is one
    voluntary switch, so the count over a span is how often the program woke. Compared with
    cpu_between, as the CPU times are."""
    counts = {}
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            counts[task.name] = sum(
                int(line.split()[1]) for line in (task / "status").read_text().splitlines()
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")))
        except (FileNotFoundError, ProcessLookupError):
            pass
    return counts


def headless_beside_window(build, rounds=3, seconds=120.0, settle=5.0):
    """The real binary watching without a display (--headless) and with its window on Xvfb,
    each from a folder of its own, at the same time, `rounds` times: resident memory `settle`
    seconds after the first check's entry, then CPU time and wake-ups over `seconds`. Both
    watch with the interval "1h" and find no change; a third program, headless with the
    interval "2'", has its second check inside the span, so that the cost of one check is the
    difference from the first."""
    binary = build / "corvane"
    work = Path(tempfile.mkdtemp(prefix="corvane-bench-"))
    page = h.DetectionPage(work)
    answer = "198.51.100.1"
    page.set_answer(answer)
    desktop = h.Desktop(accessible=False)
    found = {"headless": [], "headless_2min": [], "window": []}
    try:
        for r in range(rounds):
            procs, folders = {}, {}
            for name in found:
                folder = work / f"{name}-{r}"
                folder.mkdir()
                shutil.copy2(binary, folder / "corvane")
                interval = "0" if name == "headless_2min" else "2"
                (folder / "Corvane.cfg").write_bytes(config(page.url(), {
                    "IP": [("Derniere IP", answer)],
                    "REGLAGE": [("Valeur_Bouton_Tempo", interval), ("Taille fenetre", "complet"),
                                ("Position H", "1500"), ("Position V", "1500")],
                    "OPTION": [("Sauve Log", "1"), ("Demarrage auto", "1"),
                               ("Bip changement IP", "0"), ("Mail Auto", "0"),
                               ("Upload fichier", "0")]}))
                runtime = folder / "run"
                runtime.mkdir(mode=0o700)
                env = {k: v for k, v in os.environ.items()
                       if not k.startswith(("DBUS_", "QT_", "AT_SPI"))
                       and k not in ("XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY")}
                env.update(XDG_RUNTIME_DIR=str(runtime), HOME=str(folder),
                           DBUS_SESSION_BUS_ADDRESS=f"unix:path={folder / 'no-bus'}")
                args = [str(folder / "corvane")]
                if name == "window":
                    env.update(DISPLAY=os.environ["DISPLAY"], QT_QPA_PLATFORM="xcb")
                else:
                    args.append("--headless")
                procs[name] = desktop.start(args, cwd=folder, env=env)
                folders[name] = folder
            for name, folder in folders.items():
                h.wait_for(lambda: b"\nStart : \r\n" in h.read_bytes(folder / "corvane.log"),
                           what=f"{name}: the Start entry")
            time.sleep(settle)
            at = {}
            for name, proc in procs.items():
                at[name] = (thread_cpu_ns(proc.pid), switches(proc.pid), time.monotonic())
                found[name].append({"rss_kib": rss_kib(proc.pid),
                                    "smaps_kib": smaps_kib(proc.pid),
                                    "libraries": mapped_libraries(proc.pid)})
            time.sleep(seconds)
            for name, proc in procs.items():
                c0, w0, t0 = at[name]
                (spent, ended), span = cpu_between(c0, thread_cpu_ns(proc.pid)), \
                    time.monotonic() - t0
                found[name][-1].update(cpu_ns=spent, threads_ended=ended, span_s=span,
                                       wakeups=cpu_between(w0, switches(proc.pid))[0],
                                       threads=len(thread_cpu_ns(proc.pid)))
                desktop.stop(proc)
            print(f"bench: headless round {r + 1}/{rounds}: " + ", ".join(
                f"{name} {v[-1]['rss_kib'] / MIB:.1f} MiB {v[-1]['cpu_ns'] / 1e6:.2f} ms "
                f"{v[-1]['wakeups']} wake-ups" for name, v in found.items()),
                file=sys.stderr, flush=True)
    finally:
        desktop.close()
        page.close()
        shutil.rmtree(work, ignore_errors=True)
    return found


def summarise_headless(found):
    """Medians of headless_beside_window's rounds, printed."""
    def med(name, f):
        return statistics.median(f(v) for v in found[name])

    for name in ("headless", "headless_2min", "window"):
        print(f"{name:14} rss {med(name, lambda v: v['rss_kib']) / MIB:6.1f} MiB"
              f"  anon {med(name, lambda v: v['smaps_kib']['anon']) / MIB:5.1f}"
              f"  file {med(name, lambda v: v['smaps_kib']['file']) / MIB:5.1f}"
              f"  cpu/h {med(name, lambda v: v['cpu_ns'] / 1e9 * 3600 / v['span_s']):.3f} s"
              f"  wake-ups/h {med(name, lambda v: v['wakeups'] * 3600 / v['span_s']):.0f}"
              f"  libraries {med(name, lambda v: v['libraries']):.0f}")
    ratio = med("headless", lambda v: v["rss_kib"]) / med("window", lambda v: v["rss_kib"])
    check = med("headless_2min", lambda v: v["cpu_ns"]) - med("headless", lambda v: v["cpu_ns"])
    print(f"headless / window resident memory {ratio:.2f}; one check {check / 1e6:.1f} ms")


def soak(build, peers, checks, window=True):
    answer = peers.www / "answer"
    (peers.www / "answer").write_text("198.51.100.1")
    return run_json([str(build / "bench" / "corvane_headless"), "soak",
                     *([] if window else ["--no-window"]), peers.url(), str(answer),
                     str(checks), str(peers.smtp), f"127.0.0.1:{peers.ftp}", "bench", "bench-pass"],
                    1800, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))


def engine_figures(build, out, checks, cpu_secs):
    """The figures of the engine's section, as JSON in `out`: each step is written as soon as
    it is measured, so that a long run interrupted keeps what it found."""
    subprocess.run(["cmake", "--build", str(build), "--target", "corvane", "corvane_headless",
                    "corvane_empty_window"], check=True, stdout=subprocess.DEVNULL, timeout=3600)
    found = {"machine": machine(), "started": datetime.datetime.now().isoformat()}

    def keep(name, value):
        found[name] = value
        out.write_text(json.dumps(found, indent=1))
        print(f"bench: {name}: done", file=sys.stderr, flush=True)

    peers = Peers()
    try:
        keep("soak_window", soak(build, peers, checks, window=True))
        keep("soak_engine", soak(build, peers, checks, window=False))
        binary = build / "corvane"
        keep("cpu_plain", cpu_windowed(binary, peers, cpu_secs, accessible=False))
        keep("cpu_plain_alarm", cpu_windowed(binary, peers, cpu_secs, False, alarm=True))
        keep("cpu_accessible", cpu_windowed(binary, peers, cpu_secs, accessible=True))
    finally:
        peers.close()
    keep("startup", startup_beside_empty_window(build))
    keep("machine_end", machine())
    return found


# The sections a full run writes; every other section of RESULTS.md is kept as it is.
FULL_RUN_SECTIONS = ("## Targets", "## Routines (Google Benchmark, wall time per call)",
                     "## How it was measured", "## Targets missed: why, and what would meet them")


def replace_sections(old, new):
    """`new` in place of the head of `old` and of its FULL_RUN_SECTIONS, the others kept in
    their order after it: a full run rewrites its own figures, not the dated sections that
    other scripts and measurements wrote."""
    def split(text):
        head, *rest = text.split("\n## ")
        return head, ["## " + part for part in rest]

    _, old_parts = split(old)
    ours = set(FULL_RUN_SECTIONS)
    kept = [part.rstrip("\n") + "\n" for part in old_parts if part.splitlines()[0] not in ours]
    return new.rstrip("\n") + "\n" + "".join("\n" + part for part in kept)


def detection(build, peers, runs=30):
    url = peers.url("/php/ip_check.php")
    ours = run_json([str(build / "bench" / "corvane_headless"), "detect", url, str(runs)], 300,
                    env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    if ours["failures"]:
        raise RuntimeError(f"{ours['failures']} detections failed")
    curl_total, curl_wall = [], []
    for i in range(runs + 5):
        t0 = time.monotonic()
        out = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{time_total}", url],
                             capture_output=True, text=True, timeout=30, check=True)
        wall = (time.monotonic() - t0) * 1000
        if i >= 5:
            curl_total.append(float(out.stdout) * 1000)
            curl_wall.append(wall)
    return statistics.median(ours["detect_ms"]), statistics.median(curl_total), \
        statistics.median(curl_wall)


SMTPLIB_SCRIPT = r"""
import smtplib, statistics, sys, time
from email.message import EmailMessage
port, runs = int(sys.argv[1]), int(sys.argv[2])
def mailing():
    for i in range(10):
        m = EmailMessage()
        m["From"] = "corvane@example.org"
        m["To"] = "dest%d@example.org" % (i + 1)
        m["Subject"] = "Changement IP"
        m.set_content("Hello, voici ma Nouvelle IP\r\n198.51.100.7\r\n")
        with smtplib.SMTP("127.0.0.1", port, timeout=30) as s:  # one connection per message
            s.send_message(m)
times = []
for r in range(runs + 1):
    t0 = time.perf_counter()
    mailing()
    if r:
        times.append((time.perf_counter() - t0) * 1000)
print(statistics.median(times))
"""


def mailing(build, peers, runs=15):
    ours = run_json([str(build / "bench" / "corvane_headless"), "mail", str(peers.smtp), str(runs)],
                    600, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    if ours["failures"]:
        raise RuntimeError(f"{ours['failures']} mailings failed")
    out = subprocess.run([h.PYTHON, "-c", SMTPLIB_SCRIPT, str(peers.smtp), str(runs)],
                         capture_output=True, text=True, timeout=600, check=True)
    return statistics.median(ours["mail_ms"]), float(out.stdout.strip())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", type=Path)
    ap.add_argument("--soak-checks", type=int, default=10000)
    ap.add_argument("--cpu-seconds", type=float, default=60)
    ap.add_argument("--out", type=Path, default=BENCH / "RESULTS.md")
    ap.add_argument("--startup-only", action="store_true",
                    help="only the start-up beside an empty Qt window")
    ap.add_argument("--engine-figures", type=Path, metavar="FILE",
                    help="the engine's figures as JSON in FILE; RESULTS.md is left alone")
    ap.add_argument("--headless-figures", type=Path, metavar="FILE",
                    help="--headless beside the windowed program (memory, CPU, wake-ups), as "
                         "JSON in FILE; RESULTS.md is left alone")
    ap.add_argument("--rounds", type=int, default=3)
    args = ap.parse_args()
    build = args.build.resolve()
    binary = build / "corvane"
    info = machine()
    if args.startup_only:
        write_startup_section(args.out, startup_beside_empty_window(build), info)
        return 0
    if args.headless_figures:
        found = headless_beside_window(build, args.rounds, args.cpu_seconds)
        found.update(machine=info, machine_end=machine())
        args.headless_figures.write_text(json.dumps(found, indent=1))
        summarise_headless(found)
        return 0
    if args.engine_figures:
        engine_figures(build, args.engine_figures, args.soak_checks, args.cpu_seconds)
        return 0
    started = datetime.datetime.now()

    t_run = time.monotonic()

    def step(what):
        print(f"bench: {time.monotonic() - t_run:5.0f} s  {what} ...", file=sys.stderr, flush=True)

    peers = Peers()
    desktop = None
    try:
        step("micro benchmarks")
        m = micro(build)
        step("start-up, offscreen")
        up_off, rss_start = startup_offscreen(build, peers)
        step("detection beside curl")
        det_ours, det_curl, det_curl_wall = detection(build, peers)
        step("mailing beside smtplib")
        mail_ours, mail_py = mailing(build, peers)
        step(f"soak of {args.soak_checks} checks")
        s = soak(build, peers, args.soak_checks)
        step("start-up under Xvfb")
        desktop = h.Desktop()
        up_x, rss_start_x = startup_xvfb(desktop, binary, peers)
        desktop.close()
        desktop = None
        step(f"CPU of {args.cpu_seconds:.0f} s stopped, then {args.cpu_seconds:.0f} s running")
        c = cpu_windowed(binary, peers, args.cpu_seconds, accessible=False)
        step(f"CPU floor: {args.cpu_seconds:.0f} s of a window with a timer, then blinking")
        floor = cpu_floor(build, args.cpu_seconds)
    finally:
        if desktop:
            desktop.close()
        peers.close()

    cpu, span = c["running_ns"] / 1e9, c["running_s"]
    cpu_hour = cpu * 3600 / span
    idle, idle_span = c["stopped_ns"] / 1e9, c["stopped_s"]
    idle_hour = idle * 3600 / idle_span
    rss_run = c["rss_kib"]
    growth = (s["rss_end_kib"] - s["rss_start_kib"]) / MIB
    growth_first = (s["rss_end_kib"] - s["rss_first_kib"]) / MIB
    # Leaks are growth per check: counted from the 100th check, once every first-use object
    # (worker windows, threads) exists.
    fd_leak = s["fd_end"] - s["fd_warm"]
    sock_leak = s["sock_end"] - s["sock_warm"]
    det_ratio = det_ours / det_curl
    mail_ratio = mail_ours / mail_py

    def ok(cond):
        return "met" if cond else "**missed**"

    rows = [
        ("Start-up to main window shown, offscreen (median of 10)", "< 300 ms",
         f"{up_off:.0f} ms", ok(up_off < 300)),
        ("Start-up to visible window, real binary under Xvfb (median of 10)", "(none)",
         f"{up_x:.0f} ms", "-"),
        ("Resident memory after start, offscreen (median of 10)", "< 40 MiB",
         f"{rss_start / MIB:.1f} MiB", ok(rss_start / MIB < 40)),
        ("Resident memory after start, real binary under Xvfb", "(none)",
         f"{rss_start_x / MIB:.1f} MiB", "-"),
        (f"Memory growth over {s['checks']} checks (start -> end)", "< 1 MiB",
         f"{growth:+.2f} MiB", ok(growth < 1)),
        ("Memory growth after the first check (first -> end)", "(< 1 MiB)",
         f"{growth_first:+.2f} MiB", ok(growth_first < 1)),
        ("File descriptors: start / 100th check / end of the soak", "no leak",
         f"{s['fd_start']} / {s['fd_warm']} / {s['fd_end']}", ok(fd_leak <= 0)),
        ("Sockets: start / 100th check / end of the soak", "no leak",
         f"{s['sock_start']} / {s['sock_warm']} / {s['sock_end']}", ok(sock_leak <= 0)),
        (f"CPU per running hour, real binary under Xvfb (from {span:.0f} s, no check due)",
         "< 0.5 s", f"{cpu_hour:.2f} s ({cpu * 1000:.1f} ms in {span:.0f} s)",
         ok(cpu_hour < 0.5)),
        ("CPU per hour of a window that blinks the same indicator and does nothing else "
         "(bench/voyant_seul.cpp)", "(none)", f"{floor['blink']:.2f} s", "-"),
        ("CPU per hour of that window with its one-second timer but no blinking", "(none)",
         f"{floor['idle']:.2f} s", "-"),
        (f"CPU per stopped hour, real binary under Xvfb (from {idle_span:.0f} s)", "(none)",
         f"{idle_hour:.3f} s ({idle * 1000:.1f} ms in {idle_span:.0f} s)", "-"),
        ("Detection vs curl -s (median of 30 each)", "ratio < 1.5",
         f"{det_ours:.2f} ms vs {det_curl:.2f} ms = {det_ratio:.2f}", ok(det_ratio < 1.5)),
        ("Mailing to 10 recipients vs smtplib (median of 15 each)", "ratio < 1.5",
         f"{mail_ours:.1f} ms vs {mail_py:.1f} ms = {mail_ratio:.2f}", ok(mail_ratio < 1.5)),
    ]

    def us(name, field="real_time"):
        b = m[name]
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
        return b[field] * scale

    a = "BM_affiche/entries:{}/log:{}/iterations:200"
    micro_rows = [
        ("Load a full Corvane.cfg (35 keys + 100 unknown lines)", us("BM_ChargeConfig")),
        ("Save a full Corvane.cfg (atomic, owner-only)", us("BM_SauveConfig")),
        ("affiche (engine and window), 10,000 entries in the log, logging off",
         us(a.format(10000, 0))),
        ("affiche (engine and window), 100,000 entries in the log, logging off",
         us(a.format(100000, 0))),
        ("affiche (engine and window), 10,000 entries in the log, logging on",
         us(a.format(10000, 1))),
        ("affiche (engine and window), 100,000 entries in the log, logging on",
         us(a.format(100000, 1))),
        ("ChercheLien over a 64 KiB text (one mouse move)", us("BM_ChercheLien")),
        ("Write ip_actu", us("BM_ecritFragment")),
        ("Assemble date.php from a 100 KiB template (assemblePage)", us("BM_assemblePage")),
        ("Publication::prepare_page with a 100 KiB template", us("BM_prepare_page")),
    ]
    micro_cpu = {name: us(key, "cpu_time") for (name, _), key in zip(micro_rows, [
        "BM_ChargeConfig", "BM_SauveConfig", a.format(10000, 0), a.format(100000, 0),
        a.format(10000, 1), a.format(100000, 1), "BM_ChercheLien", "BM_ecritFragment",
        "BM_assemblePage", "BM_prepare_page"])}

    missed = {
        "start": up_off >= 300,
        "rss": rss_start / MIB >= 40,
        "growth": growth >= 1,
        "fd": fd_leak > 0 or sock_leak > 0,
        "cpu": cpu_hour >= 0.5,
        "det": det_ratio >= 1.5,
        "mail": mail_ratio >= 1.5,
    }
    notes = []
    if missed["start"]:
        notes.append("- Start-up: the sound player, the HTTP access manager and libcurl's global "
                     "set-up are already made on first use; what is left is loading the linked "
                     "libraries (libcurl with its TLS, Kerberos and LDAP dependencies, Qt "
                     "Multimedia with PulseAudio, Qt Network, ldns) and building the window. See "
                     "\"Engine and windows\" below for the breakdown.")
    if missed["rss"]:
        notes.append("- Resident memory after start: dominated by the pages of the linked "
                     "libraries (the four libraries above put about 8 MiB into an empty Qt "
                     "window by themselves) and by fonts; the program's own data is a small part.")
    if missed["growth"]:
        notes.append("- Memory growth: the first check, which is also the first change, brings "
                     "in what the services keep for the run: the HTTP access manager and its "
                     "thread, libcurl's global state and the FTP worker, the SMTP socket "
                     f"({s['rss_start_kib'] / MIB:.1f} -> {s['rss_first_kib'] / MIB:.1f} MiB, of "
                     f"which {(s['split_first_kib']['file'] - s['split_start_kib']['file']) / MIB:.1f}"
                     " MiB are library pages); creating them at start-up would only move that "
                     "memory into the start-up figure. From the first check to the end the growth "
                     f"is {(s['split_end_kib']['anon'] - s['split_first_kib']['anon']) / MIB:+.2f} "
                     "MiB of anonymous memory (heap) and "
                     f"{(s['split_end_kib']['file'] - s['split_first_kib']['file']) / MIB:+.2f} MiB "
                     "of library pages, and malloc_trim gives back only "
                     f"{(s['split_end_kib']['anon'] - s['split_end_trimmed_kib']['anon']) / MIB:.2f}"
                     " MiB of it. The 99 checks without a change after the first moved it by "
                     f"{(s['rss_warm_kib'] - s['rss_first_kib']) / MIB:+.2f} MiB; the rest came "
                     "with the changes (about "
                     f"{(s['rss_end_kib'] - s['rss_warm_kib']) / max(s['changes'] - 1, 1):.0f} KiB "
                     "each). The engine alone grows about half as fast: the rest is the "
                     "window's log view, which keeps every entry of the run laid out, one "
                     "paragraph each.")
    if s["fd_end"] > s["fd_start"]:
        notes.append(f"- Descriptors: {s['fd_end'] - s['fd_start']} more at the end than at the "
                     "start: the event notifier (an eventfd) of the HTTP access manager's thread, "
                     "made with the first check; the count does not grow from the 100th check to "
                     "the end, so the soak shows no leak.")
    if missed["fd"]:
        notes.append("- Descriptors or sockets were still open after the soak: see which with "
                     "ls -l /proc/PID/fd; a keep-alive HTTP connection is expected to be one.")
    if missed["cpu"]:
        notes.append("- CPU while running: stopped, the program does nothing (the figure above). "
                     "Running, it wakes once a second to blink the indicator, which it does "
                     "through the X server (one request changing a child window's background, "
                     "no repaint in the program). The floor rows above are a window that does "
                     "only that: its timer alone costs "
                     f"{floor['idle']:.2f} s an hour, the blink {floor['blink']:.2f} s, so the "
                     "target sits at the floor of any window that blinks once a second; the "
                     "program's own tick (the engine's seconds and its signals) is the rest. "
                     "Repainting the indicator with Qt as before took about 1 s an hour.")
    if missed["det"]:
        notes.append("- Detection: a fraction of a millisecond apart on loopback. Our time runs "
                     "from demarre() to the termine signal, through the event loop and "
                     "QNetworkAccessManager's HTTP thread (the manager is made once and reused); "
                     "curl's time_total is its transfer alone, without its process start "
                     f"({det_curl_wall:.1f} ms with it, so the program's check is far cheaper than "
                     "running curl). Meeting the ratio would need a plain QTcpSocket request on "
                     "the window thread instead of QNetworkAccessManager, at the cost of proxy "
                     "support and of Qt's HTTP handling.")
    if missed["mail"]:
        notes.append("- Mailing: each dialogue starts from the event loop and waits for QUIT's "
                     "reply before the next one, as smtplib does; the sink fsyncs every mail, so "
                     "both sides are dominated by the disk and the figure is noisy on this shared "
                     "2-CPU machine (ratios of 0.93, 1.25 and 1.56 in three runs of the same "
                     "build). A steady figure needs an idle machine and more runs; no change in "
                     "the client is indicated by it.")

    today = started.strftime("%d/%m/%Y %H:%M")
    lines = [
        "# Corvane benchmarks",
        "",
        f"Run of {today} by bench/run.sh. Machine: {info['nproc']} CPUs, {info['cpu']}, "
        f"{info['ram_gib']:.1f} GiB RAM, Linux {info['kernel']}, load average "
        f"{info['load']:.1f} at the start. Build type: Release (-Os -DNDEBUG), GCC.",
        "",
        "## Targets",
        "",
        "| measure | target | measured | |",
        "|---|---|---|---|",
        *[f"| {a_} | {b_} | {c_} | {d_} |" for a_, b_, c_, d_ in rows],
        "",
        "## Routines (Google Benchmark, wall time per call)",
        "",
        "| routine | wall | CPU |",
        "|---|---|---|",
        *[f"| {n} | {fmt_us(t)} | {fmt_us(micro_cpu[n])} |" for n, t in micro_rows],
        "",
        "## How it was measured",
        "",
        "- Peers on 127.0.0.1, free ports: `php -S` serving the shipped ip_check.php and a page "
        "whose answer the soak changes, tests/support/smtp_sink.py (aiosmtpd, one file per mail, "
        "fsync'd), pyftpdlib.",
        "- Offscreen start-up: bench/headless.cpp `startup` builds what the program's entry "
        "builds (instance lock, Qt platform layers, the services, Moteur, Console, Form_Load, "
        "show) and stops at the "
        "window's first paint; the clock starts in the launcher just before exec. Resident "
        "memory is VmRSS at that moment.",
        "- Xvfb start-up: the real binary in a program folder of its own, timed from launch until "
        "`xdotool search --sync --onlyvisible --pid PID --name '^Corvane$'` finds its window "
        "(includes xdotool's own polling).",
        f"- Soak: bench/headless.cpp `soak`, one Moteur with the real DetecteIP, Mailing and "
        f"Publication and the main window shown offscreen; message boxes and sounds are "
        f"recorded fakes. Start, then each check by {120} calls of Moteur::Timer1_Timer() "
        f"(interval \"2'\"), waiting on the event loop until Moteur::enCours() is false. "
        f"Every 100th check the page answers a new "
        f"address: {s['changes']} changes, each with the change sound, log file, ip_actu, one "
        f"mail ({s['mail_reports']} sent, {s['mail_errors']} failed) and the date.php upload "
        f"({s['uploads_ok']} uploaded). {s['checks']} checks took {s['seconds']:.1f} s. "
        f"Resident memory {s['rss_start_kib'] / MIB:.1f} MiB at the start, "
        f"{s['rss_first_kib'] / MIB:.1f} MiB after the first check (the first change), "
        f"{s['rss_warm_kib'] / MIB:.1f} MiB after 100 checks, {s['rss_end_kib'] / MIB:.1f} MiB "
        f"at the end; descriptors {s['fd_start']} / {s['fd_first']} (after the first check) / "
        f"{s['fd_end']}, of which sockets {s['sock_start']} / {s['sock_first']} / "
        f"{s['sock_end']}, counted in /proc/self/fd half a second after the last check.",
        f"- CPU: the real binary under Xvfb with openbox, no session bus (so no accessibility "
        f"bridge); {idle_span:.0f} s stopped, then Start clicked (an X pointer click), "
        f"interval \"1h\", and {span:.0f} s running with no change alarm; CPU time of its "
        f"threads from /proc/PID/task/*/schedstat, times 3600/{span:.0f}. Resident memory then: "
        f"{rss_run / MIB:.1f} MiB.",
        f"- Detection: DetecteIP::demarre to its termine signal, after 5 warm-up requests, "
        f"against ip_check.php; curl's own `time_total` for the same page after 5 warm-up runs "
        f"(curl's whole process, exec included, took {det_curl_wall:.1f} ms).",
        "- Mailing: Mailing::BoucleSend with ten addresses until its termine signal "
        "(ten dialogues, one connection each) against the sink, after one warm-up mailing; "
        "Python's smtplib sending the same ten messages, one connection per message, timed "
        "inside Python.",
        "- Micro benchmarks: an offscreen QApplication; the log cases preload corvane.log, "
        "start an engine (Moteur over fakes, real Mailing and Publication) with its main "
        "window, and time one more entry, shown in the window and, logging on, appended to the "
        "file (a log over 1 MiB is moved to corvane.log.1 at the start and only its last 64 KiB "
        "are shown, so the 100,000-entry case starts from a fresh file). Debian's libbenchmark "
        "prints a \"built as DEBUG\" warning about itself; it does not concern the code "
        "measured.",
    ]
    if notes:
        lines += ["", "## Targets missed: why, and what would meet them", "", *notes]
    text = "\n".join(lines) + "\n"
    print(text)
    if args.out.exists():
        text = replace_sections(args.out.read_text(), text)
    args.out.write_text(text)
    return 0


def fmt_us(t):
    if t < 1:
        return f"{t * 1000:.0f} ns"
    if t < 1000:
        return f"{t:.1f} us"
    return f"{t / 1000:.2f} ms"


if __name__ == "__main__":
    sys.exit(main())
