"""Taskloom: open an example, insert a line before its END from the Edit menu, choose END for
the new line from its choice list with the keyboard, Check Rule, save under a new name, download
and play the program on the controller, watch what it prints, close the dialog and Exit. The
saved file holds the lines as edited; the controller holds its image at 0xA000."""
import os
import re

from acceptance import SOURCE, check, dark

PROGRAM_AREA = 0xA000
LINE = 60  # a line is two grid rows: 20 pixels of label and comment, 40 of cells
GRIDLINE = (64, 64, 64)  # the grid's lines, a solid colour of its own
END_LINE = 7  # counter_printer.tpg's END, counted from 0


def grid_top(s, win):
    """The top of the program grid: the bars above it grow with the font, so it is found as the
    first grid line in the line-number column, one line's height below the top."""
    shot = s.screen(win)
    rows = [y for y in range(shot.height) if shot.pixel(12, y) == GRIDLINE]
    return rows[0] + 1 - LINE if rows else None


def dump_lines(s, path):
    status, text = s.tool("program", "dump", path)
    check(status == 0, "tessaban program dump %s: %s" % (path, text))
    return re.split(r"\n(?=line \d+)", text.split("\n", 1)[1])


def full_bar(s, dialog):
    """The last row of the progress bar once it is filled across (a solid blue)."""
    shot = s.screen(dialog)
    blue = lambda p: p[2] > 200 and p[0] < 60
    rows = [y for y in range(shot.height // 2)
            if blue(shot.pixel(shot.width // 4, y)) and blue(shot.pixel(3 * shot.width // 4, y))]
    return rows[-1] if rows else None


def run(s):
    s.start_sim(com=1)  # the port a fresh installation starts with
    example = os.path.join(SOURCE, "data", "examples", "counter_printer.tpg")
    saved = os.path.join(s.home, "counter_end.tpg")
    s.start("taskloom")
    win = s.window(r"^Taskloom \(Tessaban\)$")
    s.focus(win)

    s.key("ctrl+o")
    s.focus(s.dialog(win))
    s.type(example)
    s.key("Return")
    s.focus(win)
    top = s.wait_for(lambda: grid_top(s, win), "the program's grid")
    end = top + END_LINE * LINE

    # The line number selects the line; the strip at its left edge is the breakpoint margin,
    # since the simulator on this port offers debugging.
    s.click(win, 24, end + 30)
    s.menu("e", "i")  # Edit / Insert Line
    s.click(win, 60, end + 40, count=2)  # the new line's first cell
    s.type("END")  # the choice list finds the entry by its first letters
    s.key("Return")

    s.menu("p", "r")  # Program / Check Rule: "There is no error!"
    box = s.dialog(win)
    s.key("Return")
    s.gone(box)

    s.menu("f", "a")  # File / Save As
    s.focus(s.dialog(win))
    s.type(saved)
    s.key("Return")
    s.wait_for(lambda: os.path.exists(saved), "the saved program " + saved)
    got, want = dump_lines(s, saved), dump_lines(s, example)
    check(got[:END_LINE] == want[:END_LINE], "the lines before the new one are as they were")
    body = lambda block: block.split("\n", 1)[1].strip()  # without its line number
    check(body(got[END_LINE]) == body(want[END_LINE]), "the new line is END:\n" + got[END_LINE])
    check(body(got[END_LINE + 1]) == body(want[END_LINE]),
          "the old END follows it:\n" + got[END_LINE + 1])

    built = os.path.join(s.dir, "counter_end.img")
    status, text = s.tool("program", "build", saved, "-o", built)
    check(status == 0, "tessaban program build: " + text)
    image = open(built, "rb").read()[:-1]  # the last byte is the sum the loader checks

    # Program / Download/Play opens connected to the saved port.
    s.menu("p", "d")
    dialog = s.window("^Download Program$")
    s.focus(dialog)
    _, _, width, height = s.geometry(dialog)
    s.wait_for(lambda: s.enabled(dialog, width // 2, 20), "Download, once connected")
    s.click(dialog, width // 2, 20)  # Download, the dialog's first row
    s.wait_for(lambda: s.memory_bytes(PROGRAM_AREA, len(image)) == image,
               "the program's image at 0xA000")
    bar = s.wait_for(lambda: full_bar(s, dialog), "the progress bar at 100%")
    # The controller leaves its boot loader and starts its menu again after a download; a Play
    # pressed before it is back fails with "Cannot connect KZ-7 !" (about one run in thirty),
    # so, like a user watching the robot, wait for the controller first.
    s.wait_for(lambda: s.dump()["mode"] == "menu", "the controller back in its menu")
    s.wait_for(lambda: s.enabled(dialog, width // 2, bar + 20), "Play, after the download")
    s.click(dialog, width // 2, bar + 20)  # Play, the row under the bar
    s.wait_for(lambda: s.dump()["program"] == "running", "the program to run")
    # The console pane shows "Running: ..." and the numbers 1 to 9 the program prints.
    console = (20, bar + 45, width // 3, height - bar - 110)
    s.wait_for(lambda: s.screen(dialog).text_rows(console) >= 10,
               "the program's output in the console pane")
    s.click(dialog, width - 50, height - 22)  # Close stops the program first
    s.gone(dialog)
    s.wait_for(lambda: s.dump()["program"] != "running", "the program to stop")

    s.menu("f", "x")
    check(s.exit_status() == 0, "Taskloom ended with status %s" % s.program.returncode)
    check(s.memory_bytes(PROGRAM_AREA, len(image)) == image, "the controller keeps the program")
