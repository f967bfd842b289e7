"""One desktop for the whole run; per test, a folder of its own (tmp_path) and the peers and
programs it asks for, all stopped afterwards."""
import os
from pathlib import Path

import pytest

import harness as h


def pytest_addoption(parser):
    parser.addoption("--binary", default=str(h.SOURCE / "build" / "corvane"))


@pytest.fixture(scope="session")
def binary(request):
    path = Path(request.config.getoption("--binary")).resolve()
    assert path.is_file(), f"no program at {path}"
    return path


@pytest.fixture(scope="session")
def desktop(tmp_path_factory):
    # The single-instance lock lives in the runtime folder: one of this run's own.
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
def program(desktop, binary, tmp_path):
    """The test's Program, not started; its output and log are printed at the end, for pytest
    to show when the test fails."""
    p = h.Program(desktop, binary, tmp_path / "program")
    yield p
    p.stop()
    print("--- output\n" + h.read_bytes(p.output)[-3000:].decode(errors="replace"))
    print("--- corvane.log\n" + p.log()[-3000:].decode("cp1252"))
