#!/usr/bin/python3
"""Start-up with a big corvane.log: the time until the main window's first paint (offscreen,
bench/headless.cpp `startup`, as the program's entry builds it) and the process's peak
resident memory, with a log of the given size in the working directory.

Usage: biglog.py BUILD_DIR [--mb 100] [--runs 3]
BUILD_DIR is a build with -DCORVANE_BENCH=ON (bench/corvane_headless built).
"""
import argparse
import json
import os
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

CFG = b"[IP]\r\nDerniere IP=1.2.3.4\r\n[OPTION]\r\nSauve Log=1\r\n"


def big_log(path, megabytes):
    """Whole entries, as the program writes them, up to the size asked for."""
    block = b"".join(b"\nChangement IP\r\n05/12/2026 06:45:%02d\r\nIP = 10.0.%d.1\r\n"
                     % (i % 60, i % 256) for i in range(20000))
    with open(path, "wb") as f:
        written = 0
        while written < megabytes * 1000 * 1000:
            f.write(block)
            written += len(block)
    return written


def one_start(headless, folder):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
               CORVANE_T0_NS=str(time.clock_gettime_ns(time.CLOCK_MONOTONIC)))
    began = time.monotonic()
    proc = subprocess.Popen([str(headless), "startup", str(folder / "Corvane.cfg")], cwd=folder,
                            env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - began
    lines = [line for line in out.decode().splitlines() if line.startswith("{")]
    if status != 0 or not lines:
        raise RuntimeError(f"corvane_headless failed ({status}): {proc.stderr.read()[-800:]}")
    figures = json.loads(lines[-1])
    return figures["startup_ms"], usage.ru_maxrss, wall


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", type=Path)
    parser.add_argument("--mb", type=int, default=100)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    headless = args.build.resolve() / "bench" / "corvane_headless"

    times, peaks, walls = [], [], []
    with tempfile.TemporaryDirectory(prefix="corvane-biglog-") as name:
        folder = Path(name)
        (folder / "Corvane.cfg").write_bytes(CFG)
        for _ in range(args.runs):
            # Each start finds the big log again: the previous one moved it to corvane.log.1.
            for old in folder.glob("corvane.log*"):
                old.unlink()
            size = big_log(folder / "corvane.log", args.mb)
            ms, peak_kib, wall = one_start(headless, folder)
            times.append(ms)
            peaks.append(peak_kib)
            walls.append(wall)
        kept = sorted(p.name + f" ({p.stat().st_size} bytes)" for p in folder.glob("corvane.log*"))
    print(f"log of {size / 1e6:.1f} MB, {args.runs} starts")
    print(f"start-up to first paint: median {statistics.median(times):.0f} ms, "
          f"max {max(times):.0f} ms (whole process run: max {max(walls) * 1000:.0f} ms)")
    print(f"peak resident memory: median {statistics.median(peaks) / 1024:.1f} MiB, "
          f"max {max(peaks) / 1024:.1f} MiB")
    print("files after the last start: " + ", ".join(kept))


if __name__ == "__main__":
    main()
