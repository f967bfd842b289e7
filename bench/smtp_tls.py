#!/usr/bin/python3
"""A mailing to ten addresses over STARTTLS with a login: Corvane's own client (through the
headless driver's "mail" mode, the smtp window's real mailing loop) beside Python's smtplib,
both against the same aiosmtpd peer (tests/support/smtp_peer.py) in the same run, one
connection per message each. Run by hand, not in CI:

    bench/run.sh builds bench/build; or any build made with -DCORVANE_BENCH=ON, then
    bench/smtp_tls.py BUILD_DIR [--rounds 5] [--runs 5]

Prints the median of each side and their ratio (target <= 1.5).
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

BENCH = Path(__file__).resolve().parent
sys.path.insert(0, str(BENCH.parent / "tests" / "e2e"))
import harness as h  # noqa: E402  (free ports, peers as processes)

USER, PASSWORD = "veille@example.org", "bench-pw"

SMTPLIB = r"""
import smtplib, ssl, statistics, sys, time
from email.message import EmailMessage
port, runs, ca, user, password = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
context = ssl.create_default_context(cafile=ca)
def mailing():
    for i in range(10):
        m = EmailMessage()
        m["From"] = user
        m["To"] = "dest%d@example.org" % (i + 1)
        m["Subject"] = "Changement IP"
        m.set_content("Hello, voici ma Nouvelle IP 198.51.100.7\r\n")
        with smtplib.SMTP("127.0.0.1", port, timeout=30) as s:
            s.starttls(context=context)
            s.login(user, password)
            s.send_message(m)
times = []
for r in range(runs + 1):
    t0 = time.perf_counter()
    mailing()
    if r:
        times.append((time.perf_counter() - t0) * 1000)
print(" ".join("%.3f" % t for t in times))
"""


def certificates(folder):
    """As tests/support/peers.cpp's fabriqueCertificats: an authority and a server
    certificate it signed for 127.0.0.1."""
    run = lambda *a: subprocess.run(["openssl", *a], cwd=folder, check=True,
                                    capture_output=True)
    (folder / "ext.cnf").write_text("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                    "basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=bench-ca",
        "-keyout", "ca.key", "-out", "ca.pem")
    run("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
        "serveur.key", "-out", "serveur.csr")
    run("x509", "-req", "-in", "serveur.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
        "-CAcreateserial", "-days", "2", "-extfile", "ext.cnf", "-out", "serveur.pem")
    return folder / "ca.pem", folder / "serveur.pem", folder / "serveur.key"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", type=Path)
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--runs", type=int, default=5, help="timed mailings per side and round")
    args = ap.parse_args()
    headless = args.build.resolve() / "bench" / "corvane_headless"
    if not headless.exists():
        sys.exit(f"{headless} is missing: build with -DCORVANE_BENCH=ON (bench/run.sh does)")

    ours, theirs = [], []
    peers = h.Processes()
    with tempfile.TemporaryDirectory(prefix="corvane-smtp-tls-") as tmp:
        tmp = Path(tmp)
        (tmp / "mail").mkdir()
        ca, cert, key = certificates(tmp)
        port = h.free_port()
        try:
            peers.start([h.PYTHON, str(BENCH.parent / "tests" / "support" / "smtp_peer.py"),
                         "--port", str(port), "--dir", str(tmp / "mail"), "--mode", "starttls",
                         "--cert", str(cert), "--key", str(key), "--user", USER,
                         "--password", PASSWORD])
            h.wait_port(port)
            # Rounds alternate the two sides, so that a busy moment of the machine falls on
            # both alike; each side's process does one untimed warm-up mailing per round.
            for _ in range(args.rounds):
                out = subprocess.run([str(headless), "mail", str(port), str(args.runs),
                                      "starttls", USER, PASSWORD, str(ca)],
                                     capture_output=True, text=True, timeout=600,
                                     env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
                lines = [l for l in out.stdout.splitlines() if l.startswith("{")]
                if out.returncode != 0 or not lines:
                    sys.exit(f"corvane_headless failed ({out.returncode}): {out.stderr[-800:]}")
                r = json.loads(lines[-1])
                if r["failures"]:
                    sys.exit(f"{r['failures']} of Corvane's mailings failed")
                ours += r["mail_ms"]
                py = subprocess.run([h.PYTHON, "-c", SMTPLIB, str(port), str(args.runs), str(ca),
                                     USER, PASSWORD], capture_output=True, text=True,
                                    timeout=600, check=True)
                theirs += [float(t) for t in py.stdout.split()]
            delivered = len(list((tmp / "mail").glob("*.eml")))
        finally:
            peers.close()

    expected = 10 * (args.runs + 1) * 2 * args.rounds
    if delivered != expected:
        sys.exit(f"the peer holds {delivered} messages, {expected} expected")
    a, b = statistics.median(ours), statistics.median(theirs)
    print(f"10-address mailing, STARTTLS + AUTH PLAIN, one connection per message; "
          f"median of {len(ours)} mailings each ({args.rounds} alternating rounds of "
          f"{args.runs}, each after a warm-up)")
    print(f"  Corvane (corvane_headless mail): {a:8.1f} ms   (min {min(ours):.1f}, max {max(ours):.1f})")
    print(f"  Python smtplib:                  {b:8.1f} ms   (min {min(theirs):.1f}, max {max(theirs):.1f})")
    print(f"  ratio Corvane / smtplib: {a / b:.2f}  (target <= 1.5: {'met' if a / b <= 1.5 else 'MISSED'})")
    return 0 if a / b <= 1.5 else 1


if __name__ == "__main__":
    sys.exit(main())
