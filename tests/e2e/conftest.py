"""Fixtures of the end-to-end tests: one desktop for the whole run, and per test a folder of
its own with the peers and programs it asks for, all stopped and removed afterwards."""
import os
import shutil
import tempfile
from pathlib import Path

import pytest

import harness as h


def pytest_addoption(parser):
    parser.addoption("--binary", default=str(h.SOURCE / "build" / "corvane"),
                     help="the corvane program to test (default: build/corvane)")


@pytest.fixture(scope="session")
def binary(request):
    path = Path(request.config.getoption("--binary")).resolve()
    assert path.is_file(), f"no program at {path}"
    return path


@pytest.fixture(scope="session")
def desktop():
    # The programs keep their single-instance lock in the runtime folder: one of this run's own.
    runtime = tempfile.mkdtemp(prefix="corvane-run-")
    os.environ["XDG_RUNTIME_DIR"] = runtime
    d = h.Desktop()
    yield d
    d.close()
    shutil.rmtree(runtime, ignore_errors=True)


@pytest.fixture
def workdir():
    path = Path(tempfile.mkdtemp(prefix="corvane-e2e-"))
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def page(workdir):
    p = h.DetectionPage(workdir)
    yield p
    p.close()


@pytest.fixture
def make_program(desktop, binary, workdir):
    """make_program(cfg bytes, {file: bytes}) -> a Program, not started. What each program
    said and logged is printed at the end, which pytest shows for a failed test."""
    made = []

    def make(cfg=None, files=None):
        p = h.Program(desktop, binary, workdir / f"program{len(made) + 1}", cfg, files)
        made.append(p)
        return p

    yield make
    for p in made:
        p.stop()
        print(f"--- {p.dir.name}: output\n" + h.read_bytes(p.output)[-3000:].decode(errors="replace"))
        print(f"--- {p.dir.name}: corvane.log\n" + p.log()[-3000:].decode("cp1252"))
