"""Glimmora from Python: the QXB40218 evaluation bench without a window.

A session is one run of the program, as ``glimmora-cli`` runs it: the same
handlers, the same packets, the same log lines. Open one on the simulated
board and drive it as a person at the window would::

    import glimmora

    with glimmora.open() as s:               # the simulated board, one board held
        s.registers.write(3, 0x42)
        assert s.registers.read(3) == 0x42
        s.sim.short(2, 1)                    # the board takes 1 byte of each packet
        try:
            s.registers.write(3, 0x43)
        except glimmora.BoardError as e:
            print(e.kind, e)                 # short  Write 0x03 ...: failed: ...

Controls are named as in scripts (``"tbSCLKfreqdes"``,
``"Glimmora_i2c.tbI2Creg(3)"``); see docs/cli.md and docs/python.md.
Failures raise: :class:`BoardError` for the board's, :class:`ScriptError`
for a script's, :class:`Error` for anything else the program did not do;
bad arguments raise ``ValueError`` or ``KeyError`` before anything is sent.
"""

import os as _os
import warnings as _warnings

__all__ = ["open", "Session", "Registers", "SimulatedBoard", "Error", "BoardError", "ScriptError"]


class Error(Exception):
    """Something the program did not do; the message is what it showed."""


class BoardError(Error):
    """The board did not do what was asked.

    ``kind`` says how: ``"no board"``, ``"no answer"``, ``"timed out"``,
    ``"refused"``, ``"short"``, ``"cancelled"`` or ``"not sent"`` (``"other"``
    for the rest). The message is the status line's text.
    """

    def __init__(self, message, kind):
        super().__init__(message)
        self.kind = kind


class ScriptError(Error):
    """A script line that failed, or an ``expect`` that did not hold.

    ``line`` is its line number in the script played (None for a single
    call); ``output`` what the script printed before.
    """

    def __init__(self, message, line=None, output=None):
        super().__init__(message)
        self.line = line
        self.output = list(output or [])


from . import _glimmora  # noqa: E402  (the exceptions must exist first)

_HERE = _os.path.dirname(_os.path.abspath(__file__))
_BOARDS = ("sim", "sim-empty", "usb")


def _last_session_path():
    # As the window keeps it: $XDG_STATE_HOME/glimmora/last-session.txt, or
    # ~/.local/state/glimmora/ when the variable is unset or not absolute.
    state = _os.environ.get("XDG_STATE_HOME", "")
    if not _os.path.isabs(state):
        state = _os.path.join(_os.path.expanduser("~"), ".local", "state")
    return _os.path.join(state, "glimmora", "last-session.txt")


def open(board="sim", *, vendor_id=None, registers=None, keep_last_session=True):  # noqa: A001
    """Start the program and return its :class:`Session`.

    ``board``: ``"sim"`` (the simulated board, one board plugged in and
    held), ``"sim-empty"`` (none plugged in) or ``"usb"`` (real boards, where
    the build has them). ``vendor_id``: the boards' USB vendor id, a number
    or hexadecimal text as ``--vendor-id`` takes it (default:
    GLIMMORA_VENDOR_ID, else the built-in one). ``registers``: a register
    description file (JSON) for :meth:`Registers.decode` and Write Changed
    (default: the shipped one). ``keep_last_session``: whether closing keeps
    the settings as the window's last session (False for test runs that
    must leave the person's last session alone). A bad argument raises
    ``ValueError``.
    """
    if board not in _BOARDS:
        raise ValueError(f'board: "sim", "sim-empty" or "usb", not {board!r}')
    if registers is None:
        registers = ""
    else:
        registers = _os.fspath(registers)
        if not registers:
            raise ValueError("registers: an empty path")
    shipped = _os.path.join(_HERE, "qxb40218-registers.json")
    if not _os.path.isfile(shipped):
        shipped = ""
    last = _last_session_path() if keep_last_session else ""
    return Session(_glimmora.Session(board, vendor_id, registers, shipped, last))


class Registers:
    """The register window's operations (``s.registers``), each as a click.

    Boxes, marks, status lines and log lines follow as when a person clicks.
    ``reg`` is 0 to 21, ``value`` 0 to 255.
    """

    __slots__ = ("_s",)

    def __init__(self, core):
        self._s = core

    @property
    def address(self):
        """The chip's slave (write) address, as the address box reads."""
        return self._s.address

    @address.setter
    def address(self, value):
        self._s.address = value

    def read(self, reg):
        """Read register ``reg`` ("Read" of its row); its value."""
        return self._s.read(reg)

    def read_all(self):
        """"Read All": the 22 values."""
        return self._s.read_all()

    def write(self, reg, value):
        """Type ``value`` into register ``reg``'s write box and click its "Write"."""
        self._s.write(reg, value)

    def write_all(self, values=None):
        """"Write All", with the 22 ``values`` typed first (None: the boxes as they are)."""
        self._s.write_all(None if values is None else list(values))

    def write_changed(self):
        """"Write Changed": the registers whose box differs from what the chip is known to hold."""
        self._s.write_changed()

    def decode(self, reg):
        """Register ``reg``'s last read value by the register descriptions (the ``decode`` line)."""
        return self._s.decode(reg)


class SimulatedBoard:
    """The person at the simulated bench (``s.sim``): one method per ``board`` verb."""

    __slots__ = ("_s",)

    def __init__(self, core):
        self._s = core

    @staticmethod
    def _number(value, name, low, high):
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError(f"{name}: a number, not {type(value).__name__}")
        if not low <= value <= high:
            raise ValueError(f"{name} {value} is outside {low}..{high}")
        return value

    def attach(self):
        """Plug a new board in."""
        self._s.board("attach")

    def detach(self, n):
        """Pull board ``n`` out (boards are numbered 1, 2, ... as plugged in)."""
        self._s.board(f"detach {self._number(n, 'board', 1, 2**31 - 1)}")

    def fail_deviceinfo(self):
        """The board's device information is refused."""
        self._s.board("fail deviceinfo")

    def fail_transfer(self, pipe):
        """Transfers on ``pipe`` are refused (the pipe stalls)."""
        self._s.board(f"fail transfer {self._number(pipe, 'pipe', 0, 255)}")

    def timeout(self, pipe):
        """Transfers on ``pipe`` time out."""
        self._s.board(f"timeout {self._number(pipe, 'pipe', 0, 255)}")

    def nopipes(self):
        """The board's alternate setting has no pipes besides pipe 0."""
        self._s.board("nopipes")

    def short(self, pipe, n):
        """Transfers on ``pipe`` stop after ``n`` bytes."""
        self._s.board(f"short {self._number(pipe, 'pipe', 0, 255)} {self._number(n, 'n', 0, 2**31 - 1)}")

    def hang(self, pipe, ms=None):
        """Transfers on ``pipe`` wait ``ms`` milliseconds (None: until their time-out)."""
        pipe = self._number(pipe, "pipe", 0, 255)
        if ms is None:
            self._s.board(f"hang {pipe}")
        else:
            self._s.board(f"hang {pipe} {self._number(ms, 'ms', 0, 2**31 - 1)}")

    def ignore(self, reg):
        """The chip ignores writes to register ``reg``."""
        self._s.board(f"ignore {self._number(reg, 'register', 0, 21)}")

    def ok(self):
        """Clear all the faults above."""
        self._s.board("ok")

    def set_reg(self, reg, value):
        """Set the chip's register ``reg`` to ``value`` on every plugged board."""
        reg = self._number(reg, "register", 0, 21)
        self._s.board(f"reg {reg} {self._number(value, 'value', 0, 255):02X}")

    def reg(self, reg):
        """What the chip of the board held (else the first plugged) holds in ``reg``."""
        return self._s.chip_register(reg)


class Session:
    """One run of the program (see :func:`open`); a context manager.

    :meth:`close` ends it as "Quit" does, keeping the last session as the
    window keeps it; closing twice is harmless, and any other call after it
    raises :class:`Error`.
    """

    def __init__(self, core):
        self._s = core
        self.registers = Registers(core)
        """The register window's operations (:class:`Registers`)."""
        self._sim = SimulatedBoard(core) if core.simulated else None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def __repr__(self):
        return "<glimmora.Session closed>" if self._s.closed else f"<glimmora.Session status={self._s.status!r}>"

    def close(self):
        """End the program as "Quit" does; the last session is kept as the window keeps it."""
        if self._s.closed:
            return
        self._s.close()
        if self._s.not_kept:
            _warnings.warn(f"the session was not kept: {self._s.not_kept}", RuntimeWarning, stacklevel=2)

    @property
    def closed(self):
        """True once :meth:`close` ran."""
        return self._s.closed

    # The person at the window.
    def set(self, control, text):
        """Put ``text`` into the text box ``control`` at once (the ``set`` verb)."""
        self._s.set(control, text)

    def click(self, control):
        """Click ``control`` (button, menu item, check box, option button)."""
        self._s.click(control)

    def text(self, control):
        """What ``control`` shows: a box's text, a caption, a check box's 0/1/2; ``NAME.note`` its mark."""
        return self._s.text(control)

    def play(self, path):
        """Play a script file as ``glimmora-cli`` plays it, in this session; its output lines."""
        path = _os.fspath(path)
        if not _os.path.isfile(path):
            raise FileNotFoundError(f"no script file {path!r}")
        return self._s.play(path)

    def run(self, line):
        """Run one line of the script language (docs/cli.md) as a script does; the lines it printed.

        For what has no call of its own (``type``, ``close``, ``answer``, ``expect``, ...):
        a line that fails, or an ``expect`` that does not hold, raises :class:`ScriptError`.
        """
        return self._s.run(line)

    def wait(self, ms):
        """Let ``ms`` milliseconds pass, watching registers (the ``wait`` verb)."""
        self._s.wait(ms)

    # What the program shows.
    @property
    def log(self):
        """The log pane's lines."""
        return self._s.log

    @property
    def status(self):
        """The main window's status line."""
        return self._s.status

    @property
    def messages(self):
        """The message boxes shown since the session opened (none waits for a person)."""
        return list(self._s.messages)

    @property
    def board_held(self):
        """True while the program holds a board."""
        return self._s.board_held

    # The timing generator and configuration files.
    def write_settings(self):
        """"Write Settings": the timing generator's settings to the board."""
        self._s.write_settings()

    def save_config(self, path):
        """"Save Configuration" to ``path`` (the same file the window writes)."""
        self._s.save_config(_os.fspath(path))

    def load_config(self, path):
        """"Load Configuration" from ``path``: the same checks, messages and packets."""
        self._s.load_config(_os.fspath(path))

    # The simulated board and the packets.
    @property
    def sim(self):
        """The simulated bench (:class:`SimulatedBoard`), None on real boards."""
        return self._sim

    @property
    def packets(self):
        """The packets since the session opened: ``"out 2: 00 5A 0A 4D"``, ``"in 130: 00 4D"``."""
        return self._s.packets

    def clear_packets(self):
        """Forget the packets so far."""
        self._s.clear_packets()
