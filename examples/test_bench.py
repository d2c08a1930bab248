"""An example bench suite: run it with

    python3 -m pytest examples/              (the package installed)
    PYTHONPATH=build/python python3 -m pytest -p glimmora.pytest_plugin examples/

and on a real board with --glimmora-board=usb.
"""

import pytest

FAULT_STATUS = 2  # 0x02 Fault/Status
IDENTIFICATION = 3


def test_register_round_trip(glimmora_session):
    s = glimmora_session
    for value in (0x00, 0x5A, 0xFF):
        s.registers.write(IDENTIFICATION, value)
        assert s.registers.read(IDENTIFICATION) == value


def test_watched_fault_register_shows_a_change(glimmora_session):
    s = glimmora_session
    if s.sim is None:
        pytest.skip("the fault is raised by the simulated board")
    s.click(f"Glimmora_i2c.cbWatch({FAULT_STATUS})")
    s.wait(1000)  # the first watch read: the register as it is
    s.sim.set_reg(FAULT_STATUS, 0x04)  # a fault bit comes up
    s.wait(1000)
    assert s.text(f"Glimmora_i2c.tbI2Cregread({FAULT_STATUS})") == "4"
    assert s.text(f"Glimmora_i2c.lblWatch({FAULT_STATUS})") == "changed"


@pytest.mark.parametrize("desired, actual", [("100", "100.000"), ("1000", "1000.000"), ("2000", "1923.077")])
def test_sclk_sweep(glimmora_session, desired, actual):
    s = glimmora_session
    s.set("tbSCLKfreqdes", desired)
    s.write_settings()
    assert s.status == "Write Settings: sent"
    assert s.text("tbSCLKfreqact") == actual


@pytest.mark.hardware
def test_a_real_board_is_held(glimmora_session):
    assert glimmora_session.board_held
