#!/usr/bin/python3
"""FTPS and SFTP uploads of a 100 KiB page by the program, beside the curl command doing the
same upload to the same servers in the same run. By hand, not in CI.

The program's side is bench/upload_tls.cpp: the page upload (EnvoiFtp on its worker thread)
timed from envoie() until its final state reaches the event loop, disconnection included.
curl's side is its own time_total (the transfer, without starting its process); the time with
its process is printed too. Medians; the target is a ratio of at most 1.5.

Usage: upload_tls.py BUILD_DIR [--runs N]
BUILD_DIR is a configured Corvane build tree (Release for figures worth quoting, e.g.
bench/build as bench/run.sh makes it): its corvane_core is built if needed and the driver is
built beside it, in BUILD_DIR/upload_tls.
"""
import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BENCH = Path(__file__).resolve().parent
SOURCE = BENCH.parent
sys.path.insert(0, str(SOURCE / "tests" / "e2e"))
import harness as h  # noqa: E402  (free ports, peers as processes)

USER = "bench"
PASSWORD = "bench-pass:@/"
PAGE_BYTES = 100 * 1024
WARM = 2


def build_driver(build):
    subprocess.run(["cmake", "--build", str(build), "-j2", "--target", "corvane_core"], check=True,
                   stdout=subprocess.DEVNULL)
    cache = (build / "CMakeCache.txt").read_text()
    kind = re.search(r"^CMAKE_BUILD_TYPE:STRING=(.*)$", cache, re.M)
    kind = kind.group(1) if kind and kind.group(1) else "Release"
    project = build / "upload_tls"
    project.mkdir(exist_ok=True)
    (project / "CMakeLists.txt").write_text(f"""\
cmake_minimum_required(VERSION 3.25)
project(upload_tls LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(Qt6 REQUIRED COMPONENTS Core Network)
find_package(CURL REQUIRED)
add_executable(upload_tls {BENCH / "upload_tls.cpp"})
target_include_directories(upload_tls PRIVATE {SOURCE / "src"})
target_link_libraries(upload_tls PRIVATE {build / "libcorvane_core.a"} Qt6::Core Qt6::Network
    CURL::libcurl)
""")
    out = project / "build"
    subprocess.run(["cmake", "-S", str(project), "-B", str(out), "-G", "Ninja",
                    f"-DCMAKE_BUILD_TYPE={kind}"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(out), "-j2"], check=True, stdout=subprocess.DEVNULL)
    return out / "upload_tls", kind


def certificates(folder):
    """An authority and a server certificate it signed for 127.0.0.1."""
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)
    (folder / "ext.cnf").write_text("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=bench-ca",
            "-keyout", "ca.key", "-out", "ca.pem")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
            "server.key", "-out", "server.csr")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", "ext.cnf", "-out", "server.pem")
    return folder / "ca.pem", folder / "server.pem", folder / "server.key"


def ours(driver, protocol, port, page, runs, fingerprint="", ca="", env=None):
    out = subprocess.run([str(driver), protocol, f"127.0.0.1:{port}", USER, str(page),
                          "/date.php", str(runs), fingerprint, str(ca)],
                         input=PASSWORD + "\n", capture_output=True, text=True, timeout=600,
                         env=env)
    lines = [line for line in out.stdout.splitlines() if line.startswith("{")]
    if not lines:
        raise RuntimeError(f"upload_tls {protocol} failed: {out.stderr[-800:]}")
    r = json.loads(lines[-1])
    if r["failures"]:
        raise RuntimeError(f"{protocol}: {r['failures']} uploads failed: {r['reasons'][:3]}")
    return statistics.median(r["upload_ms"])


def with_curl(args, runs, env):
    """curl's time_total and its whole process, medians, after WARM runs."""
    totals, walls = [], []
    # The password goes through curl's configuration on standard input, never its arguments.
    config = 'user = "%s:%s"\n' % (USER, PASSWORD)
    for i in range(WARM + runs):
        t0 = time.monotonic()
        out = subprocess.run(["curl", "-sS", "-K", "-", "-o", "/dev/null", "-w", "%{time_total}",
                              *args], input=config, capture_output=True, text=True, timeout=60,
                             env=env, check=True)
        wall = (time.monotonic() - t0) * 1000
        if i >= WARM:
            totals.append(float(out.stdout) * 1000)
            walls.append(wall)
    return statistics.median(totals), statistics.median(walls)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", type=Path)
    ap.add_argument("--runs", type=int, default=20)
    args = ap.parse_args()
    build = args.build.resolve()
    driver, kind = build_driver(build)

    peers = h.Processes()
    with tempfile.TemporaryDirectory(prefix="corvane-upload-") as tmp:
        tmp = Path(tmp)
        home = tmp / "home"  # no user key or known_hosts of the machine's takes part
        home.mkdir()
        env = dict(os.environ, HOME=str(home))
        ca, cert, key = certificates(tmp)
        page = tmp / "date.php"
        line = b"<p>Corvane bench page, 100 KiB of text for the upload timings.</p>\r\n"
        page.write_bytes((line * (PAGE_BYTES // len(line) + 1))[:PAGE_BYTES])
        roots = {}
        for name in ("ftps", "sftp"):
            roots[name] = tmp / name
            roots[name].mkdir()
        try:
            ftps = h.free_port()
            peers.start([h.PYTHON, str(SOURCE / "tests/publish/ftps_peer.py"), str(ftps), USER,
                         PASSWORD, str(roots["ftps"]), str(cert), str(key)],
                        stderr=subprocess.DEVNULL)
            sftp = h.free_port()
            peers.start([h.PYTHON, str(SOURCE / "tests/publish/sftp_peer.py"), str(sftp), USER,
                         PASSWORD, str(roots["sftp"]), str(tmp / "fingerprint"),
                         str(tmp / "key.pub")], stderr=subprocess.DEVNULL)
            h.wait_port(ftps)
            h.wait_port(sftp)
            fingerprint = (tmp / "fingerprint").read_text().strip()

            rows = []
            ftps_ours = ours(driver, "ftps", ftps, page, args.runs, ca=ca, env=env)
            ftps_curl, ftps_wall = with_curl(
                ["-T", str(page), "--ssl-reqd", "--cacert", str(ca),
                 f"ftp://127.0.0.1:{ftps}/date.php"], args.runs, env)
            rows.append(("FTPS", ftps_ours, ftps_curl, ftps_wall))
            sftp_ours = ours(driver, "sftp", sftp, page, args.runs, fingerprint=fingerprint,
                             env=env)
            sftp_curl, sftp_wall = with_curl(
                ["-T", str(page), "--hostpubsha256", fingerprint.split(":", 1)[1],
                 f"sftp://127.0.0.1:{sftp}/date.php"], args.runs, env)
            rows.append(("SFTP", sftp_ours, sftp_curl, sftp_wall))
            for name in ("ftps", "sftp"):
                if (roots[name] / "date.php").read_bytes() != page.read_bytes():
                    raise RuntimeError(f"{name}: the page on the server differs")
        finally:
            peers.close()

    print(f"Upload of a {PAGE_BYTES // 1024} KiB page, median of {args.runs} after {WARM} "
          f"warm-up runs each, {kind} build, {os.cpu_count()} CPUs, load "
          f"{os.getloadavg()[0]:.1f}")
    print(f"{'':6}{'Corvane':>10}{'curl':>10}{'ratio':>8}  {'curl with its process':>22}")
    worst = 0.0
    for name, mine, theirs, wall in rows:
        ratio = mine / theirs
        worst = max(worst, ratio)
        print(f"{name:6}{mine:8.1f}ms{theirs:8.1f}ms{ratio:8.2f}  {wall:20.1f}ms")
    print("target ratio <= 1.5:", "met" if worst <= 1.5 else "missed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
