"""Fixtures of the end-to-end tests: one desktop for the whole run, and per test a folder of
its own (pytest's tmp_path) with the peers and programs it asks for, all stopped afterwards."""
import os
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
def desktop(tmp_path_factory):
    # The programs keep their single-instance lock in the runtime folder: one of this run's own.
    os.environ["XDG_RUNTIME_DIR"] = str(tmp_path_factory.mktemp("run"))
    d = h.Desktop()
    yield d
    d.close()


@pytest.fixture
def page(tmp_path):
    p = h.DetectionPage(tmp_path)
    yield p
    p.close()


@pytest.fixture
def procs():
    p = h.Processes()
    yield p
    p.close()


@pytest.fixture
def make_program(desktop, binary, tmp_path):
    """make_program(cfg bytes, {file: bytes}) -> a Program, not started. What each program
    said and logged is printed at the end, which pytest shows for a failed test."""
    made = []

    def make(cfg=None, files=None):
        made.append(h.Program(desktop, binary, tmp_path / f"program{len(made) + 1}", cfg, files))
        return made[-1]

    yield make
    for p in made:
        p.stop()
        print(f"--- {p.dir.name}: output\n" + h.read_bytes(p.output)[-3000:].decode(errors="replace"))
        print(f"--- {p.dir.name}: corvane.log\n" + p.log()[-3000:].decode("cp1252"))
