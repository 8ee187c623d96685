"""Wirescope: connect to the controller, talk to its console, capture what it prints when its
MODE button is pressed, look for a word with the find bar and go back to typing (Tab must reach
the controller's menu), then Exit; the configuration file is written."""
import os

from acceptance import check, dark

CONFIG = ("Quorvel", "Tessaban", "Wirescope v1.07.cfg")
MENU = (b"\r\n\r\nKZ-7 menu: TAB moves, Enter selects\r\n  0 Console\r\n  1 Screen\r\n"
        b"  2 Running\r\n> 0 Console")


def rows(s, win):
    """The rows of text in the left half of the window: what the terminal shows."""
    shot = s.screen(win)
    return shot.text_rows((4, 30, shot.width // 2, shot.height - 60))


def run(s):
    s.start_sim()
    # Without a saved port Wirescope would try COM1, which is whatever /dev/ttyS0 is here.
    s.start("wirescope", "--no-connect")
    win = s.window("^Wirescope v1.07")
    s.focus(win)

    # Setup / Connect: the port list offers COM3; Enter connects.
    s.menu("s", "c")
    setup = s.window("^Serial setup$")
    s.focus(setup)
    s.type("COM3")
    s.key("Return")
    s.gone(setup)
    s.focus(win)

    # CR in the controller's menu opens its console; "ver" answers with the firmware version.
    s.key("Return")
    s.wait_for(lambda: s.dump()["mode"] == "console", "the controller's console")
    before = rows(s, win)
    s.type("ver\r")
    s.wait_for(lambda: rows(s, win) == before + 2, "the answer to ver on the screen")

    # Files / Recieve file: a new file takes what arrives until End. The controller's MODE
    # button takes it back to its menu, which it prints.
    capture = os.path.join(s.home, "menu.txt")
    s.menu("f", "r")
    dialog = s.dialog(win)
    s.focus(dialog)
    s.type(capture)
    s.key("Return")
    s.gone(dialog)
    s.focus(win)
    # While it captures, the status bar counts the bytes ("RX data... 0 byte") instead of the
    # screen showing them.
    status = lambda: s.screen(win).count((0, s.geometry(win)[3] - 20, 300, 20), dark)
    before = status()
    s.sim("press MODE")
    s.wait_for(lambda: status() != before, "the byte count in the status bar")
    s.wait_for(lambda: s.dump()["mode"] == "menu", "the controller's menu")
    s.key("End")  # the file is written whole when the capture ends
    got = s.wait_for(lambda: open(capture, "rb").read(), "the capture in " + capture)
    check(MENU.startswith(got), "the capture holds what arrived, the menu: %r" % got)

    # The find bar, then back to the terminal: Tab moves the menu's highlight to the page editor.
    s.key("ctrl+shift+f")
    s.type("KZ-7")
    s.key("Return")
    _, _, width, height = s.geometry(win)
    s.click(win, width // 2, height // 3)
    s.key("Tab", "Return")
    s.wait_for(lambda: s.dump()["mode"] == "screen", "Tab to reach the controller's menu")
    check(open(capture, "rb").read() == got, "nothing is captured after End")

    s.menu("s", "x")
    check(s.exit_status() == 0, "Wirescope ended with status %s" % s.program.returncode)
    config = os.path.join(s.config, *CONFIG)
    saved = open(config, "rb").read()
    check(len(saved) == 2134 and b"COM3" in saved, "the configuration file keeps the port")
