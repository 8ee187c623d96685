#!/usr/bin/env python3
"""Runs one acceptance journey: a built program used from outside, as a person uses it.

    acceptance.py JOURNEY --bin BUILD/bin [--keep DIR] [--display :N]

The runner starts a virtual X display (Xvfb) with the openbox window manager, a kz7sim on a
pseudo-terminal linked as COM3 in a private port folder, and a private settings folder; then the
journey (journeys/JOURNEY.py, a function run(s)) starts the program and drives it only through X
input (xdotool). It judges by what a user or the controller would see: the simulator's memory and
state, the files written, the settings, the exit status and a few regions of the screen.

Every wait is for something to happen (a window, a file, a simulator state) within a bound that
only a hang breaks; nothing sleeps for a time that depends on the machine's speed.

With --display the journey runs on that display (a desktop you watch) instead of Xvfb. On a
failure the screen and the folder are kept (--keep, else a folder under /tmp) and named.
"""
import argparse
import importlib.util
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
BOUND = 60.0  # seconds; only a hang or a lost event takes this long


class JourneyFailed(Exception):
    pass


class Screen:
    """One picture of the whole X screen, read with xwd (32-bit TrueColor)."""

    def __init__(self, data):
        (header_size, _, _, depth, width, height, _, byte_order, _, _, _, _, line) = struct.unpack(
            ">13I", data[:52])
        (ncolors,) = struct.unpack(">I", data[76:80])
        self.step = line // width  # bytes per pixel as the lines are laid out
        if depth < 24 or self.step not in (3, 4):
            raise JourneyFailed("the screen is not 24-bit TrueColor (depth %d)" % depth)
        self.width, self.height, self.line = width, height, line
        # where red, green and blue are in a pixel's bytes
        self.order = (2, 1, 0) if byte_order == 0 else (self.step - 3, self.step - 2, self.step - 1)
        self.pixels = data[header_size + 12 * ncolors:]

    def pixel(self, x, y):
        i = y * self.line + x * self.step
        return tuple(self.pixels[i + k] for k in self.order)

    def count(self, rect, test):
        x0, y0, w, h = rect
        return sum(1 for y in range(max(0, y0), min(self.height, y0 + h))
                   for x in range(max(0, x0), min(self.width, x0 + w)) if test(self.pixel(x, y)))

    def text_rows(self, rect):
        """How many separate rows of text (runs of rows holding dark pixels) RECT shows."""
        x0, y0, w, h = rect
        inked = [any(dark(self.pixel(x, y)) for x in range(x0, x0 + w)) for y in range(y0, y0 + h)]
        return sum(1 for i in range(len(inked)) if inked[i] and (i == 0 or not inked[i - 1]))

    def save_png(self, path):
        rows = b"".join(b"\0" + bytes(c for x in range(self.width) for c in self.pixel(x, y))
                        for y in range(self.height))
        chunk = lambda kind, body: (struct.pack(">I", len(body)) + kind + body +
                                    struct.pack(">I", zlib.crc32(kind + body)))
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" +
                    chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) +
                    chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


def dark(rgb):
    return sum(rgb) < 3 * 110


class Session:
    def __init__(self, bin_dir, folder, display):
        self.bin = bin_dir
        self.dir = folder
        self.children = []
        self.program = None
        self.exited = False
        self.ports = os.path.join(folder, "ports")
        self.config = os.path.join(folder, "config")
        self.home = os.path.join(folder, "home")
        for d in (self.ports, self.config, self.home):
            os.makedirs(d)
        self.env = dict(os.environ, TESSABAN_PORTS=self.ports, XDG_CONFIG_HOME=self.config,
                        HOME=self.home, QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8")
        for name in ("QT_SCALE_FACTOR", "QT_STYLE_OVERRIDE", "XDG_CURRENT_DESKTOP"):
            self.env.pop(name, None)
        if display:
            self.env["DISPLAY"] = display
        else:
            try:
                self.start_x()
            except BaseException:
                self.close()  # no display server or window manager outlives a failed start
                raise

    # --- the desk: display, window manager, controller ------------------------------------
    def start_x(self):
        read_end, write_end = os.pipe()
        # -noreset: a server resets when its last client leaves, and a program connecting
        # during the reset (openbox after a probe) is refused.
        self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24",
                    "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            raise JourneyFailed("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        log = os.path.join(self.dir, "openbox.log")
        wm = self.spawn(["openbox", "--sm-disable"], stdout=open(log, "wb"),
                        stderr=subprocess.STDOUT)

        def managing():
            if wm.poll() is not None:
                raise JourneyFailed("openbox ended (status %d): %s"
                                    % (wm.returncode, open(log).read()[-300:]))
            return "window id" in self.xtry(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"])
        self.wait_for(managing, "the window manager")

    def start_sim(self, *args, com=3):
        """kz7sim linked as COMn, its memory in the session folder; returns the device path."""
        self.memory = os.path.join(self.dir, "kz7.mem")
        self.control = os.path.join(self.dir, "kz7.ctl")
        sim = self.spawn([os.path.join(self.bin, "kz7sim"), "--com", str(com), "--memory", self.memory,
                          "--control", self.control, *args], stdout=subprocess.PIPE,
                         stderr=open(os.path.join(self.dir, "kz7sim.log"), "wb"))
        device = sim.stdout.readline().decode().strip()
        if not device.startswith("/dev/"):
            raise JourneyFailed("kz7sim did not start")
        link = os.path.join(self.ports, "COM%d" % com)
        self.wait_for(lambda: os.path.islink(link), "the link " + link)
        return device

    def sim(self, command):
        with open(self.control, "w") as f:
            f.write(command + "\n")

    def dump(self):
        """The simulator's state line as a dict (mode, program, page, playing, joints...)."""
        path = os.path.join(self.dir, "dump.txt")
        if os.path.exists(path):
            os.remove(path)
        self.sim("dump " + path)
        self.wait_for(lambda: os.path.exists(path), "the simulator's dump")
        with open(path) as f:
            words = f.read().split()
        return dict(w.split("=", 1) for w in words if "=" in w)

    def memory_bytes(self, address, length):
        """Bytes of the controller's memory file (written within half a second of a change)."""
        if not os.path.exists(self.memory):
            return b""
        with open(self.memory, "rb") as f:
            f.seek(address)
            return f.read(length)

    # --- programs ---------------------------------------------------------------------------
    def spawn(self, argv, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(argv, env=self.env, cwd=self.dir, **kw)
        self.children.append(p)
        return p

    def start(self, name, *args):
        log = open(os.path.join(self.dir, name + ".log"), "wb")
        self.program = self.spawn([os.path.join(self.bin, name), *args], stderr=log, stdout=log)
        return self.program

    def tool(self, *args):
        """Runs the tessaban command-line tool; returns (status, output)."""
        r = subprocess.run([os.path.join(self.bin, "tessaban"), *args], env=self.env,
                           capture_output=True, text=True, timeout=BOUND)
        return r.returncode, r.stdout + r.stderr

    def exit_status(self):
        self.exited = True
        try:
            return self.program.wait(timeout=BOUND)
        except subprocess.TimeoutExpired:
            raise JourneyFailed("the program did not end after Exit")

    def settings(self):
        """The settings store as "group/key" -> text, read the way the programs' store writes it
        (QSettings' INI form: %XX escapes in names, "\\" between groups inside a section)."""
        values, section = {}, ""
        path = os.path.join(self.config, "Quorvel", "Tessaban.conf")
        with open(path, encoding="utf-8") as f:
            for line in f.read().splitlines():
                if line.startswith("[") and line.endswith("]"):
                    section = urllib.parse.unquote(line[1:-1])
                    section = "" if section == "General" else section + "/"
                elif "=" in line:
                    key, value = line.split("=", 1)
                    key = urllib.parse.unquote(key.replace("\\", "/"))
                    values[section + key] = value.strip('"')
        return values

    # --- X input ----------------------------------------------------------------------------
    def xtry(self, argv):
        r = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=BOUND)
        return r.stdout if r.returncode == 0 else ""

    def x(self, *args):
        r = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                           timeout=BOUND)
        if r.returncode != 0:
            raise JourneyFailed("xdotool %s: %s" % (" ".join(args), r.stderr.strip()))
        return r.stdout.strip()

    def window(self, title):
        """The visible window whose title matches TITLE (a regular expression), once it shows."""
        found = []
        self.wait_for(lambda: found.extend(self.xtry(["xdotool", "search", "--onlyvisible",
                                                      "--name", title]).split()) or found,
                      "a window titled " + title)
        return found[-1]

    def gone(self, win):
        self.wait_for(lambda: win not in self.visible(), "window %s to close" % win)

    def active(self):
        return self.xtry(["xdotool", "getactivewindow"]).strip()

    def dialog(self, parent):
        """The window that takes the keyboard from PARENT: a dialog or message box just opened."""
        return self.wait_for(lambda: (lambda a: a if a and a != parent else None)(self.active()),
                             "a dialog over window %s" % parent)

    def focus(self, win):
        """Waits until the window manager has given WIN the keyboard, as it does a new window."""
        self.wait_for(lambda: self.active() == win, "window %s to get the keyboard" % win)

    def geometry(self, win):
        """X, Y (of the inside of the window on the screen), width and height."""
        info = self.xtry(["xwininfo", "-id", win])
        g = dict(line.strip().split(": ", 1) for line in info.splitlines() if ": " in line)
        return (int(g["Absolute upper-left X"]), int(g["Absolute upper-left Y"]),
                int(g["Width"]), int(g["Height"]))

    def key(self, *keys):
        self.x("key", "--delay", "40", *keys)

    def type(self, text):
        self.x("type", "--delay", "30", text)

    def click(self, win, x, y, count=1):
        """Clicks at X, Y inside WIN (counted from its top-left corner); count=2 double-clicks.
        The move and the click go in one request stream, so they cannot change places."""
        wx, wy, _, _ = self.geometry(win)
        self.x("mousemove", str(wx + x), str(wy + y),
               "click", "--repeat", str(count), "--delay", "80", "1")

    def drag(self, win, start, end):
        wx, wy, _, _ = self.geometry(win)
        steps = ["mousemove", str(wx + start[0]), str(wy + start[1]), "mousedown", "1"]
        for i in range(1, 9):  # a hand passes through the places between
            steps += ["mousemove", str(wx + start[0] + (end[0] - start[0]) * i // 8),
                      str(wy + start[1] + (end[1] - start[1]) * i // 8)]
        self.x(*steps, "mouseup", "1")

    def menu(self, *path):
        """Opens a menu bar entry by its Alt key and picks items by their underlined letters,
        each once its menu is on the screen (a letter typed before goes to the window)."""
        for i, letter in enumerate(path):
            shown = set(self.visible())
            self.key(("alt+" if i == 0 else "") + letter)
            if i + 1 < len(path):
                self.wait_for(lambda: set(self.visible()) - shown, "the menu of " + letter)

    def visible(self):
        return self.xtry(["xdotool", "search", "--onlyvisible", "--class", "."]).split()

    # --- judging ----------------------------------------------------------------------------
    def picture(self, win=None):
        """A picture of WIN (in its own coordinates) or of the whole screen, or None while the
        window cannot be read (being mapped or moved). Windows are read one by one: without a
        compositor a new dialog's pixels need not have reached the root window yet."""
        r = subprocess.run(["xwd", "-silent"] + (["-id", win] if win else ["-root"]),
                           env=self.env, capture_output=True, timeout=BOUND)
        return Screen(r.stdout) if r.returncode == 0 else None

    def screen(self, win=None):
        return self.wait_for(lambda: self.picture(win), "a picture of " + (win or "the screen"))

    def enabled(self, win, x, y):
        """Whether the button at X, Y can be pressed: its caption is drawn dark, not grey."""
        return self.screen(win).count((x - 40, y - 10, 80, 20), dark) > 20

    def wait_for(self, test, what, bound=BOUND):
        end = time.monotonic() + bound
        while True:
            started = time.monotonic()
            value = test()
            if value:
                return value
            if self.program and self.program.poll() is not None and not self.exited:
                raise JourneyFailed("the program ended (status %d) while waiting for %s"
                                    % (self.program.returncode, what))
            if time.monotonic() > end:
                raise JourneyFailed("waited %d s for %s" % (bound, what))
            # Looking costs the X server and the programs time too (a picture of a window, a
            # dump): look at most half of the time.
            time.sleep(max(0.05, time.monotonic() - started))

    def close(self):
        for p in reversed(self.children):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()


def check(condition, message):
    if not condition:
        raise JourneyFailed(message)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("journey")
    parser.add_argument("--bin", required=True, help="folder of the built programs")
    parser.add_argument("--keep", help="folder kept for a failed run's screen and logs")
    parser.add_argument("--display", help="run on this X display instead of a virtual one")
    args = parser.parse_args()

    found = importlib.util.spec_from_file_location(
        args.journey, os.path.join(HERE, "journeys", args.journey + ".py"))
    journey = importlib.util.module_from_spec(found)
    found.loader.exec_module(journey)

    # A time-out of the test driver ends the journey like a failure, so nothing is left running.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(JourneyFailed("terminated")))
    folder = tempfile.mkdtemp(prefix="acceptance-%s-" % args.journey)
    session = None
    started = time.monotonic()
    try:
        session = Session(os.path.abspath(args.bin), folder, args.display)
        journey.run(session)
    except (JourneyFailed, subprocess.TimeoutExpired, OSError) as e:
        keep = args.keep or folder
        if session is not None:
            try:
                os.makedirs(keep, exist_ok=True)
                for name, win in (("screen", None), ("window", session.active() or None)):
                    shot = session.picture(win)
                    if shot:
                        shot.save_png(os.path.join(keep, name + ".png"))
            except (JourneyFailed, OSError, subprocess.TimeoutExpired):
                pass
            session.close()
        if keep != folder:
            shutil.copytree(folder, keep, dirs_exist_ok=True, symlinks=True)
        print("FAILED %s: %s\n  screen and logs in %s" % (args.journey, e, keep))
        return 1
    session.close()
    shutil.rmtree(folder, ignore_errors=True)
    print("passed %s in %.1f s" % (args.journey, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.dont_write_bytecode = True  # leave no caches in the source tree
    sys.modules["acceptance"] = sys.modules["__main__"]  # journeys import the runner's names
    sys.exit(main())
