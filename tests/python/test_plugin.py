# The pytest plugin from the outside: a suite that uses its fixture, option
# and marker, run by pytest in a process of its own.
import glimmora

SUITE = """
import pytest

opened = []

def test_a_fresh_session_each_time(glimmora_session, glimmora_board):
    assert glimmora_board == "sim" and glimmora_session.board_held and glimmora_session.sim is not None
    opened.append(glimmora_session)

def test_the_last_one_was_closed(glimmora_session):
    assert opened[-1].closed and opened[-1] is not glimmora_session

@pytest.mark.hardware
def test_on_real_boards(glimmora_session):
    assert glimmora_session.sim is None
"""


def run(pytester, *arguments):
    return pytester.runpytest_subprocess("-p", "glimmora.pytest_plugin", "-p", "no:cacheprovider", "-rs", *arguments)


def test_the_fixture_and_the_hardware_marker_on_the_simulated_board(pytester, own_folder):
    pytester.makepyfile(SUITE)
    result = run(pytester)
    result.assert_outcomes(passed=2, skipped=1)
    result.stdout.fnmatch_lines(["*needs a real board: run with --glimmora-board=usb*"])
    # The person's last session is left alone.
    assert not (own_folder / "state").exists()


def test_the_board_option_runs_the_same_tests_on_real_boards(pytester):
    pytester.makepyfile(SUITE)
    try:
        glimmora.open("usb").close()
    except ValueError:
        result = run(pytester, "--glimmora-board=usb", "-m", "hardware")
        result.assert_outcomes(errors=1)  # this build has no real boards: said, not skipped
        return
    result = run(pytester, "--glimmora-board=usb", "-m", "hardware")
    result.assert_outcomes(passed=1, deselected=2)
    assert run(pytester, "--glimmora-board=pci").ret != 0
