"""Wirescope: connect to the controller, talk to its console, capture what it says into a file,
look for a word with the find bar and go back to typing (Tab must reach the controller's menu),
then Exit; the configuration file is written."""
import os

from acceptance import check, dark

CONFIG = ("Quorvel", "Tessaban", "Wirescope v1.07.cfg")


def ink(s, win, rows):
    """Dark pixels in the left half of the terminal, in the given range of client-area rows."""
    x, y, w, _ = s.geometry(win)
    return s.screen().count((x + 4, y + rows[0], w // 2, rows[1] - rows[0]), dark)


def run(s):
    s.start_sim()
    s.start("wirescope")
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
    _, _, _, height = s.geometry(win)
    before = ink(s, win, (height // 3, height - 60))
    s.type("ver\r")
    s.wait_for(lambda: ink(s, win, (0, height - 60)) > before, "the answer to ver on the screen")

    # Files / Recieve file: a new file takes what arrives until End.
    capture = os.path.join(s.home, "console.txt")
    s.menu("f", "r")
    dialog = s.window("^Set recieved file$")
    s.focus(dialog)
    s.type(capture)
    s.key("Return")
    s.gone(dialog)
    s.focus(win)
    s.type("help\r")
    s.wait_for(lambda: b"[KZ-7]>" in open(capture, "rb").read(), "the console's reply in " + capture)
    s.key("End")
    s.type("exit\r")
    s.wait_for(lambda: s.dump()["mode"] == "menu", "the controller's menu")
    got = open(capture, "rb").read()
    check(b"help" in got and b"exit" not in got,
          "the capture holds what came before End and nothing after: %r" % got[-200:])

    # The find bar, then back to the terminal: Tab moves the menu's highlight to the page editor.
    s.key("ctrl+shift+f")
    s.type("KZ-7")
    s.key("Return")
    _, _, width, height = s.geometry(win)
    s.click(win, width // 2, height // 3)
    s.key("Tab", "Return")
    s.wait_for(lambda: s.dump()["mode"] == "screen", "Tab to reach the controller's menu")

    s.menu("s", "x")
    check(s.exit_status() == 0, "Wirescope ended with status %s" % s.program.returncode)
    config = os.path.join(s.config, *CONFIG)
    check(os.path.getsize(config) == 2134, "the configuration file is written whole")
