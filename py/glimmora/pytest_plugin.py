"""pytest plugin for Glimmora benches.

Registered by the installed package (entry point ``glimmora``); from a build
tree, load it with ``-p glimmora.pytest_plugin``. It offers:

- the fixture ``glimmora_session``: a fresh session for each test, closed
  after it (the person's last session is left alone);
- the option ``--glimmora-board=sim|usb``: the simulated board (the default)
  or real boards, for the same tests;
- the marker ``hardware``: a test that only makes sense on a real board,
  skipped (with the reason) on the simulated one.
"""

import pytest

import glimmora

_BOARDS = ("sim", "usb")
_SKIP_REASON = "needs a real board: run with --glimmora-board=usb"


def pytest_addoption(parser):
    group = parser.getgroup("glimmora", "Glimmora evaluation bench")
    group.addoption(
        "--glimmora-board",
        choices=_BOARDS,
        default="sim",
        help="run glimmora_session on the simulated board (sim, the default) or on real boards (usb)",
    )


def pytest_configure(config):
    config.addinivalue_line("markers", "hardware: the test needs a real board; skipped on the simulated board")


def pytest_report_header(config):
    return f"glimmora board: {config.getoption('--glimmora-board')}"


def pytest_collection_modifyitems(config, items):
    if config.getoption("--glimmora-board") != "sim":
        return
    skip = pytest.mark.skip(reason=_SKIP_REASON)
    for item in items:
        if item.get_closest_marker("hardware") is not None:
            item.add_marker(skip)


@pytest.fixture
def glimmora_board(request):
    """The board the run was asked for: ``"sim"`` or ``"usb"``."""
    return request.config.getoption("--glimmora-board")


@pytest.fixture
def glimmora_session(glimmora_board):
    """A fresh :class:`glimmora.Session` on the chosen board, closed after the test."""
    with glimmora.open(glimmora_board, keep_last_session=False) as session:
        yield session
