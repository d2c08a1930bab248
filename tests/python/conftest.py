# Every test here runs in its own temporary folder, and a session's last
# session file goes there too (XDG_STATE_HOME), never into the home folder.
import os
import pathlib

import pytest

import glimmora


@pytest.fixture(autouse=True)
def own_folder(tmp_path, monkeypatch):
    monkeypatch.setenv("XDG_STATE_HOME", str(tmp_path / "state"))
    monkeypatch.delenv("GLIMMORA_VENDOR_ID", raising=False)
    monkeypatch.chdir(tmp_path)
    return tmp_path


@pytest.fixture
def session():
    with glimmora.open() as s:
        yield s


@pytest.fixture
def cli():
    path = os.environ.get("GLIMMORA_CLI")
    if not path:
        pytest.skip("GLIMMORA_CLI names no glimmora-cli")
    return pathlib.Path(path)

pytest_plugins = ["pytester"]
