# The module's calls on the simulated board: what each does to the chip, the
# boxes and the packets, and what it raises.
import os
import signal
import subprocess
import threading
import time

import pytest

import glimmora


def test_a_session_starts_with_one_board_held_and_sim_empty_with_none():
    with glimmora.open() as s:
        assert s.board_held
        assert any("Accepting control" in line for line in s.log)
        assert s.sim is not None
    with glimmora.open("sim-empty") as s:
        assert not s.board_held
        s.sim.attach()
        assert s.board_held
        s.sim.detach(1)
        assert not s.board_held


def test_register_round_trip_reaches_the_chip_and_the_boxes(session):
    s = session
    s.registers.write(3, 0x42)
    assert s.sim.reg(3) == 0x42
    assert s.text("Glimmora_i2c.tbI2Creg(3)") == "42"
    s.sim.set_reg(4, 0xA5)
    assert s.registers.read(4) == 0xA5
    assert s.text("Glimmora_i2c.tbI2Cregread(4)") == "A5"
    assert s.packets[-2:] == ["out 2: 01 5B 04", "in 130: 00 A5"]
    assert s.registers.read_all() == [s.sim.reg(r) for r in range(22)]
    assert "Read All" in s.text("Glimmora_i2c.lblStatus")


def test_write_all_write_changed_and_the_slave_address(session):
    s = session
    values = [(7 * r + 1) % 256 for r in range(22)]
    s.registers.write_all(values)
    assert [s.sim.reg(r) for r in range(22)] == values
    assert s.text("Glimmora_i2c.tbI2Creg(21)") == f"{values[21]:02X}"
    s.clear_packets()
    s.registers.write_changed()
    assert s.packets == []  # all known already
    s.set("Glimmora_i2c.tbI2Creg(5)", "77")
    s.registers.write_changed()
    assert s.packets == ["out 2: 00 5A 05 77"]
    s.registers.write_all()  # the boxes as they are
    assert s.sim.reg(5) == 0x77
    assert s.registers.address == 0x5A
    s.registers.address = 0x5C
    s.clear_packets()
    s.registers.write(1, 2)
    assert s.packets[0].startswith("out 2: 00 5C 01 02")


def test_decode_settings_and_configuration_files(session, own_folder):
    s = session
    assert s.registers.decode(3).endswith(" not read yet")
    s.registers.read(3)
    assert s.registers.decode(3).startswith("0x03")
    s.set("tbSCLKfreqdes", "1000")
    s.clear_packets()
    s.write_settings()
    assert [p for p in s.packets if p.startswith("out 3:")]
    assert s.status.startswith("Write Settings: ")
    s.set("Glimmora_i2c.tbI2Creg(3)", "42")
    s.save_config("setup")  # the dialog's default extension, as in the window
    saved = own_folder / "setup.txt"
    assert saved.read_text().startswith("//Glimmora Config File")
    s.set("Glimmora_i2c.tbI2Creg(3)", "00")
    s.load_config(saved)
    assert s.text("Glimmora_i2c.tbI2Creg(3)") == "42"
    assert s.sim.reg(3) == 0x42  # loaded and sent


def test_click_text_notes_messages_and_wait():
    with glimmora.open("sim-empty") as s:
        s.click("cbShowi2c")
        assert s.text("Glimmora_i2c") == "shown"
        assert s.text("Glimmora_i2c.tbI2Cregread(2).note") == "not read yet"
        with pytest.raises(glimmora.BoardError):
            s.registers.read(2)
        assert s.messages == ["USB Device not connected!"]
        s.sim.attach()
        s.click("Glimmora_i2c.cbWatch(2)")
        s.sim.set_reg(2, 0x33)
        s.clear_packets()
        s.wait(1000)  # on the session's own clock: at once
        assert "in 130: 00 33" in s.packets


@pytest.mark.parametrize(
    "fault, operation, kind",
    [
        (None, "read", "no board"),
        ("s.sim.fail_transfer(2)", "write", "refused"),
        ("s.sim.nopipes()", "read_all", "refused"),
        ("s.sim.timeout(2)", "read", "timed out"),
        ("s.sim.short(2, 1)", "write", "short"),
        ("s.sim.short(130, 0)", "read", "short"),
        ("s.registers.address = 0x40", "read", "no answer"),  # no chip there
        ("s.registers.address = 0x5B", "read_all", "not sent"),  # an odd address
        ("s.set('Glimmora_i2c.tbI2Creg(3)', '1FF')", "click write", "not sent"),
    ],
)
def test_board_errors_carry_their_kind_and_the_status_line(fault, operation, kind):
    with glimmora.open("sim-empty" if fault is None else "sim") as s:
        if fault:
            exec(fault)  # noqa: S102 (the table's own texts)
        call = {"read": lambda: s.registers.read(3), "write": lambda: s.registers.write(3, 1),
                "read_all": s.registers.read_all,
                "click write": lambda: s.click("Glimmora_i2c.cbWritei2c(3)")}[operation]
        with pytest.raises(glimmora.BoardError) as raised:
            call()
        assert raised.value.kind == kind
        assert str(raised.value) == s.text("Glimmora_i2c.lblStatus")
        s.sim.ok()
        s.registers.address = 0x5A
        if fault is None:
            s.sim.attach()
        s.registers.read(3)  # the session goes on


@pytest.mark.parametrize(
    "call, raised",
    [
        (lambda s: s.registers.read(22), ValueError),
        (lambda s: s.registers.read(-1), ValueError),
        (lambda s: s.registers.write(3, 256), ValueError),
        (lambda s: s.registers.write_all([0] * 21), ValueError),
        (lambda s: s.registers.write_all([0] * 21 + [300]), ValueError),
        (lambda s: setattr(s.registers, "address", 0x100), ValueError),
        (lambda s: s.registers.decode(22), ValueError),
        (lambda s: s.set("tbNoSuchBox", "1"), KeyError),
        (lambda s: s.set("tbSCLKfreqdes", "1\n2"), ValueError),
        (lambda s: s.click("Glimmora_i2c.cbNoSuchButton"), KeyError),
        (lambda s: s.text("lblNoSuchLabel"), KeyError),
        (lambda s: s.wait(-1), ValueError),
        (lambda s: s.sim.set_reg(22, 0), ValueError),
        (lambda s: s.sim.set_reg(2, 256), ValueError),
        (lambda s: s.sim.detach(2), ValueError),
        (lambda s: s.play("no-such-script.gls"), FileNotFoundError),
    ],
)
def test_bad_arguments_raise_before_anything_is_sent(session, call, raised):
    session.clear_packets()
    with pytest.raises(raised):
        call(session)
    assert session.packets == []


@pytest.mark.parametrize(
    "arguments",
    [dict(board="pci"), dict(vendor_id="xyz"), dict(vendor_id=0), dict(vendor_id=0x10000),
     dict(registers="no-such-file.json")],
)
def test_bad_open_arguments_name_what_is_wrong(arguments):
    with pytest.raises(ValueError, match=next(iter(arguments))):
        glimmora.open(**arguments)


def test_a_closed_session_raises_and_closing_twice_is_harmless(own_folder):
    s = glimmora.open()
    s.registers.write(3, 0x42)
    s.close()
    s.close()
    assert s.closed
    assert (own_folder / "state/glimmora/last-session.txt").read_text().startswith("//Glimmora Config File")
    for call in (lambda: s.registers.read(3), lambda: s.click("cbQuit"), lambda: s.status,
                 lambda: s.sim.attach(), lambda: s.write_settings()):
        with pytest.raises(glimmora.Error, match="closed"):
            call()


def test_play_returns_the_output_and_raises_on_a_failing_line(session, own_folder):
    script = own_folder / "s.gls"
    script.write_text("board reg 3 42\nclick Glimmora_i2c.cbReadi2c(3)\nprint Glimmora_i2c.tbI2Cregread(3)\n")
    assert session.play(script)[-1] == 'Glimmora_i2c.tbI2Cregread(3) = "42"'
    script.write_text("# first\nexpect Glimmora_i2c.tbI2Cregread(3) 41\nprint cbQuit\n")
    with pytest.raises(glimmora.ScriptError) as raised:
        session.play(script)
    assert raised.value.line == 2 and raised.value.output[-1] == 'cbQuit = "Quit"'
    script.write_text("print cbQuit\nfrobnicate\n")
    with pytest.raises(glimmora.ScriptError) as raised:
        session.play(script)
    assert raised.value.line == 2 and "unknown verb" in str(raised.value)


def test_run_plays_one_line_and_raises_as_a_script_fails(session):
    assert session.run("board reg 3 42") == []
    session.run("click Glimmora_i2c.cbReadi2c(3)")
    assert session.run("print Glimmora_i2c.tbI2Cregread(3)") == ['Glimmora_i2c.tbI2Cregread(3) = "42"']
    assert session.run("expect Glimmora_i2c.tbI2Cregread(3) 42") == []
    with pytest.raises(glimmora.ScriptError, match='expected "41", got "42"'):
        session.run("expect Glimmora_i2c.tbI2Cregread(3) 41")
    with pytest.raises(glimmora.ScriptError, match="unknown verb"):
        session.run("frobnicate")
    with pytest.raises(ValueError):
        session.run("print cbQuit\nclick cbQuit")
    assert not session.closed


def test_ctrl_c_during_a_hang_cancels_and_leaves_the_session_usable(session):
    s = session
    s.sim.hang(2)  # until the 30-second time-out
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        s.registers.write(3, 0x11)
    assert time.monotonic() - start < 5
    assert "cancelled" in s.text("Glimmora_i2c.lblStatus")
    s.sim.ok()
    s.registers.write(3, 0x12)
    assert s.registers.read(3) == 0x12


def test_glimmora_cli_and_python_send_the_same_packets(cli, own_folder):
    (own_folder / "cli").mkdir()
    script = own_folder / "cli" / "same.gls"
    script.write_text(
        "board attach\n"
        "set Glimmora_i2c.tbI2Creg(3) 42\nclick Glimmora_i2c.cbWritei2c(3)\n"
        "click Glimmora_i2c.cbReadi2c(3)\nclick Glimmora_i2c.cbReadall\n"
        "set tbSCLKfreqdes 1000\nclick cbWritesettings\n"
        "answer setup.txt\nclick mFileSaveConfig\n"
    )
    ran = subprocess.run([str(cli), str(script)], capture_output=True, text=True, check=True)
    from_cli = [line for line in ran.stdout.splitlines() if line.startswith(("out ", "in "))]
    with glimmora.open("sim-empty") as s:
        s.sim.attach()
        s.registers.write(3, 0x42)
        s.registers.read(3)
        s.registers.read_all()
        s.set("tbSCLKfreqdes", "1000")
        s.write_settings()
        s.save_config(own_folder / "setup.txt")
        from_python = s.packets
    assert from_python == from_cli
    assert (own_folder / "setup.txt").read_bytes() == (own_folder / "cli" / "setup.txt").read_bytes()


def test_ctrl_c_ends_a_real_wait():
    try:
        s = glimmora.open("usb", keep_last_session=False)
    except ValueError:
        pytest.skip("this build has no real boards")
    with s:
        timer = threading.Timer(0.2, os.kill, (os.getpid(), signal.SIGINT))
        start = time.monotonic()
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            s.wait(20000)
        assert time.monotonic() - start < 5
        s.wait(0)


def test_a_second_thread_is_refused_while_a_call_waits(session):
    session.sim.hang(2, 500)
    refused = []

    def meanwhile():
        time.sleep(0.1)
        try:
            session.registers.read(1)
        except glimmora.Error as e:
            refused.append(str(e))

    other = threading.Thread(target=meanwhile)
    other.start()
    session.registers.write(3, 0x21)  # waits half a second, letting the other thread run
    other.join()
    assert refused == ["the session is busy with a call from another thread"]
    assert session.sim.reg(3) == 0x21
