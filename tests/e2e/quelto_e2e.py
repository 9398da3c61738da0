#!/usr/bin/env python3
"""End-to-end tests of the real quelto program.

Each scenario runs quelto under its own Xvfb display, with a fresh settings
folder, its sound going through the ALSA file plugin (tests/e2e/asoundrc):
what it plays lands in WAV files, what it records is read from a raw 8-bit
unsigned 8000 Hz file. Keys are typed with xdotool; screenshots are kept in
the output folder for a person to look at.

Every wait is for something to happen (a window shown or gone, the screen
settled, a file or log written), bounded by a timeout that only a broken
program reaches: a loaded machine makes the tests slower, never wrong.

Usage: quelto_e2e.py QUELTO QUELTO_MODEM OUTPUT_DIR [SCENARIO...]
"""
import math
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
QUELTO, QUELTO_MODEM, OUTPUT = (os.path.abspath(a) for a in sys.argv[1:4])

# The test sound line feeds input faster than real time, so the modem thread
# never waits on it; at the real-time priority it takes as root it would
# starve the tests running beside it. Run it without that capability.
if os.geteuid() == 0 and shutil.which("setpriv"):
    LAUNCH = ["setpriv", "--bounding-set", "-sys_nice", "--inh-caps", "-sys_nice", QUELTO]
else:
    LAUNCH = [QUELTO]
os.makedirs(OUTPUT, exist_ok=True)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, what):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise Failure("timed out waiting for " + what)


class Session:
    """A display, a scratch home and settings folder, and the audio line."""

    # Width and height of the display; a tool may ask for a larger one.
    screen_size = (1024, 768)

    def __init__(self, name, settings=None, line_in_samples=b""):
        """line_in_samples: raw signed 16-bit little-endian 8000 Hz, the
        input stream's own format (the line reads its file raw)."""
        self.name = name
        self.dir = tempfile.mkdtemp(prefix="quelto-e2e-%s-" % name)
        for sub in ("config/quelto", "runtime", "home", "logs", "files"):
            os.makedirs(os.path.join(self.dir, sub), mode=0o700, exist_ok=True)
        read_fd, write_fd = os.pipe()
        # No key auto-repeat: on a loaded machine a key's release can come
        # late enough for the server to repeat it ("HEELLO", "call..ps").
        # No reset: when its last client leaves, a server resets and refuses
        # connections meanwhile; quelto starting while the driver's first
        # xdotool probe had just closed then ended with "Can't open display".
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % self.screen_size,
             "-nolisten", "tcp", "-ardelay", "60000", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_fd, 16)
            check(chunk, "Xvfb did not start")
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        self.line_in = os.path.join(self.dir, "line-in.raw")
        # Silence around the signal: past the end the plugin repeats the last
        # 2816 samples, so the file ends in a long silence.
        with open(self.line_in, "wb") as f:
            f.write(bytes(2 * 8000) + line_in_samples + bytes(2 * 8000 * 30))
        self.line_out = os.path.join(self.dir, "line-out")
        # The questions before losing work are off unless a scenario tests
        # them: a scenario that quits or clears would otherwise stop on one.
        base = {"Language": "En", "ShowSlpashScreen": "0",
                "LogFilePrefix": os.path.join(self.dir, "logs") + "/",
                "ConfirmFileNew": "0", "ConfirmFileQuit": "0", "ConfirmEditCut": "0",
                "ConfirmOptionsRestart": "0"}
        base.update(settings or {})
        db = sqlite3.connect(os.path.join(self.dir, "config/quelto/settings.sqlite"))
        db.execute("CREATE TABLE settings(name TEXT PRIMARY KEY COLLATE NOCASE, value TEXT NOT NULL)")
        db.executemany("INSERT INTO settings VALUES (?, ?)", list(base.items()))
        db.commit()
        db.close()
        self.env = dict(os.environ)
        self.env.update({
            "DISPLAY": self.display,
            "HOME": os.path.join(self.dir, "home"),
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "XDG_RUNTIME_DIR": os.path.join(self.dir, "runtime"),
            "XDG_STATE_HOME": os.path.join(self.dir, "state"),
            "ALSA_CONFIG_PATH": "/usr/share/alsa/alsa.conf:" + os.path.join(HERE, "asoundrc"),
            "QUELTO_LINE_OUT": self.line_out,
            "QUELTO_LINE_IN": self.line_in,
        })
        self.env.pop("QUELTOEXEC", None)
        self.proc = None
        self.output = None
        self.shots = 0

    def launch(self, *args):
        """Starts quelto in its files folder, where the chooser opens. What
        it prints is kept in the session folder, for a failure to show."""
        self.output = os.path.join(self.dir, "quelto-output.txt")
        with open(self.output, "ab") as out:
            self.proc = subprocess.Popen(LAUNCH + list(args), env=self.env,
                                         cwd=os.path.join(self.dir, "files"),
                                         stdout=out, stderr=subprocess.STDOUT)

    def start(self, *args):
        self.launch(*args)
        return self.main_window()

    def xdo(self, *args, check_rc=True):
        r = subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, text=True)
        if check_rc:
            check(r.returncode == 0, "xdotool %s failed: %s" % (" ".join(args), r.stderr))
        return r.stdout.strip()

    def windows(self, name, visible=True):
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", name]
        out = self.xdo(*args, check_rc=False)
        return [w for w in out.split()] if out else []

    def main_window(self, timeout=120):
        """The main window once shown; a busy machine may take a while."""
        try:
            return wait_for(lambda: (self.windows("Quelto Version") or [None])[0], timeout,
                            "the main window")
        except Failure:
            raise Failure("timed out waiting for the main window; " + self.state())

    def state(self):
        """What a person needs to tell why a window did not come: whether
        quelto still runs, the windows shown, what it printed."""
        code = self.proc.poll() if self.proc else None
        running = "quelto running" if code is None else "quelto ended with %s" % code
        shown = ", ".join("%s %r" % (w, self.xdo("getwindowname", w, check_rc=False))
                          for w in self.windows(".*")) or "none"
        printed = ""
        if getattr(self, "output", None) and os.path.exists(self.output):
            with open(self.output, "rb") as f:
                printed = f.read()[-2000:].decode("utf-8", "replace")
        return "%s; windows shown: %s; it printed: %r" % (running, shown, printed)

    def new_windows(self, before, what, timeout=10):
        """Waits until windows other than `before` are shown (a menu, a
        dialog); returns the whole set shown then."""
        return set(wait_for(lambda: [w for w in self.windows(".*") if w not in before] and
                            self.windows(".*"), timeout, what))

    def only_windows(self, expected, what, timeout=10):
        """Waits until no window but `expected` is shown (menus closed)."""
        wait_for(lambda: set(self.windows(".*")) <= set(expected), timeout, what)

    def title(self, window):
        return self.xdo("getwindowname", window)

    def focus(self, window):
        self.xdo("windowfocus", "--sync", window)

    def type(self, window, text):
        self.focus(window)
        self.xdo("type", "--delay", "20", text)

    def key(self, window, *keys):
        self.focus(window)
        self.xdo("key", *keys)

    def screen(self):
        """The whole screen as raw RGB bytes."""
        return subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env,
                              capture_output=True, check=True).stdout

    def settled_screen(self, settle=10):
        """The screen once two grabs in a row are the same (windows drawn,
        nothing moving), or after `settle` seconds of change."""
        end = time.time() + settle
        previous, raw = None, self.screen()
        while raw != previous and time.time() < end:
            previous, raw = raw, self.screen()
        return raw

    def screenshot(self, label, settle=10):
        """Saves the screen once it has settled."""
        raw = self.settled_screen(settle)
        self.shots += 1
        path = os.path.join(OUTPUT, "%s-%d-%s.png" % (self.name, self.shots, label))
        subprocess.run(["convert", "-size", "%dx%d" % self.screen_size, "-depth", "8", "rgb:-", path],
                       input=raw,
                       check=True)
        return path

    def played(self, rate=22050):
        """Everything played at `rate` (text 22050, tones and voice 8000),
        stream after stream, as samples."""
        prefix = "line-out-%d.wav" % rate
        files = [f for f in os.listdir(self.dir) if f.startswith(prefix)]
        files.sort(key=lambda f: int(f.rsplit(".", 1)[1]) if f[-1].isdigit() else 0)
        data = b""
        for f in files:
            with wave.open(os.path.join(self.dir, f)) as w:
                data += w.readframes(w.getnframes())
        return data

    def logs(self):
        out = ""
        folder = os.path.join(self.dir, "logs")
        for f in sorted(os.listdir(folder)):
            with open(os.path.join(folder, f), "rb") as fh:
                out += fh.read().decode("cp1252", "replace")
        return out

    def wait_exit(self, timeout=15):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("quelto did not end")

    def close(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        # Terminated, not killed: a killed server leaves its socket and lock
        # behind for the next session's server to trip over.
        self.xvfb.terminate()
        try:
            self.xvfb.wait(10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
            self.xvfb.wait()
        if not os.environ.get("QUELTO_E2E_KEEP"):
            shutil.rmtree(self.dir, ignore_errors=True)


def write_wav(path, samples, rate):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(1)
        w.setframerate(rate)
        w.writeframes(samples)


def pixels(png, x, y, w, h):
    """RGB triples of a region of a screenshot."""
    raw = subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage",
                          "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]


def window_box(session, window):
    geo = session.xdo("getwindowgeometry", "--shell", window)
    values = dict(line.split("=") for line in geo.splitlines())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def bursts(samples):
    """The played bursts, split at the silences between batches."""
    out, start, quiet = [], None, 0
    for i, s in enumerate(samples):
        if s != 128:
            if start is None:
                start = i
            quiet = 0
        elif start is not None:
            quiet += 1
            if quiet > 2000:
                out.append(samples[start:i - quiet + 1])
                start, quiet = None, 0
    if start is not None:
        out.append(samples[start:])
    return out


def minimodem_decode(session, samples):
    """minimodem's reading of the line signal. minimodem locks onto a carrier
    before it frames characters, and a batch starts straight with its first
    start bit, so a lone character per batch (typing at human speed) is
    never framed. The bursts are therefore joined back to back, as one
    continuous transmission, after 150 ms of mark tone (the idle line of a
    receiver already listening); their samples are not changed."""
    mark = bytes(int(128 + 100 * math.sin(2 * math.pi * 1400 * i / 22050)) for i in range(3308))
    gap = bytes([128]) * 4096
    signal = gap + mark + b"".join(bursts(samples)) + mark + gap
    path = os.path.join(session.dir, "for-minimodem.wav")
    write_wav(path, signal, 22050)
    r = subprocess.run(["minimodem", "--rx", "tdd", "-q", "-f", path], capture_output=True)
    return r.stdout.decode("latin-1")


def is_received_colour(p):
    """A pixel of received text in the default colour, dark teal (#00497F)."""
    return p[0] < 40 and 40 < p[1] < 110 and 90 < p[2] < 170


def quelto_decode(session, samples):
    path = os.path.join(session.dir, "played.wav")
    write_wav(path, samples, 22050)
    r = subprocess.run([QUELTO_MODEM, "decode", path], capture_output=True)
    return r.stdout.decode("latin-1")


# --- Scenarios -------------------------------------------------------------------

def scenario_send(s):
    w = s.start()
    # A click on the "Letter" button first: typing must still reach the
    # conversation afterwards.
    x, y, ww, hh = window_box(s, w)
    s.xdo("mousemove", "--sync", str(x + 170), str(y + hh - 22))
    s.xdo("click", "1")
    s.type(w, "HELLO 123 GA")
    s.key(w, "Return")
    text = "HELLO 123 GA\n"
    # Enter goes out as CR LF; the decoder shows the line feed as a space.
    wait_for(lambda: quelto_decode(s, s.played()).rstrip() == text.rstrip(), 30,
             "the text to be played")
    played = s.played()
    got = minimodem_decode(s, played)
    check(got.replace("\r", "\n").rstrip("\n") == "HELLO 123 GA",
          "minimodem decoded %r" % got)
    shot = s.screenshot("sent")
    x, y, ww, hh = window_box(s, w)
    # Sent text is black (colour 0) on the history background.
    history = pixels(shot, x + 10, y + 40, ww - 40, hh - 140)
    dark = sum(1 for p in history if max(p) < 40)
    check(dark > 50, "no sent text in the history (%d dark pixels)" % dark)
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")
    log = s.logs()
    check("HELLO 123 GA" in log.replace("\r", ""), "sent text missing from the log")


def scenario_receive(s):
    text = "GA HELLO FROM THE LINE"
    w = s.start()
    x, y, ww, hh = window_box(s, w)
    seen = {}

    def shown():
        # The first words went up into the history in the received colour
        # (dark teal); the last ones are still the current line (yellow band).
        shot = s.screenshot("received")
        history = pixels(shot, x + 10, y + 40, ww - 40, hh - 140)
        seen["teal"] = sum(1 for p in history if is_received_colour(p))
        band = pixels(shot, x + 10, y + hh - 80, ww - 40, 40)
        seen["yellow"] = sum(1 for p in band if p[0] > 180 and p[1] > 180 and p[2] < 80)
        return seen["teal"] > 50 and seen["yellow"] > 50

    try:
        wait_for(shown, 60, "the received text on the screen")
    except Failure:
        raise Failure("received text not shown: %d teal pixels in the history, %d yellow in the band"
                      % (seen["teal"], seen["yellow"]))
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")
    log = s.logs()
    check("\\RECEIVING" in log, "no RECEIVING section in the log:\n" + log)
    received = log.split("\\RECEIVING", 1)[1]
    check(text + " SO LONG THAT IT WRAPS INTO THE HISTORY GA" in received,
          "received text missing from the log:\n" + log)


def scenario_single_instance(s):
    w = s.start()
    s.xdo("windowunmap", "--sync", w)
    check(not s.windows("Quelto Version"), "the window did not go away")
    t0 = time.time()
    second = subprocess.run([QUELTO], env=s.env, timeout=10, capture_output=True)
    check(second.returncode == 0, "second start ended with %d" % second.returncode)
    check(time.time() - t0 < 3, "second start took %.1f s" % (time.time() - t0))
    wait_for(lambda: s.windows("Quelto Version"), 5, "the first window to come back")
    check(s.proc.poll() is None, "the first instance ended")
    s.screenshot("raised")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def dialog(s, name):
    """The window once shown and drawn: keys sent to a window the program
    has mapped but not yet drawn can be lost (a Return in File Info then
    does nothing)."""
    window = wait_for(lambda: (s.windows(name) or [None])[0], 10, "the %r window" % name)
    s.settled_screen()
    return window


def choose_file(s, title, name):
    """Answers the toolkit's chooser with a file name in the folder it shows.
    Its file name field completes paths as they are typed (a typed "/"
    changes folder), so only a bare name is typed, slowly, at the end."""
    chooser = dialog(s, title)
    s.focus(chooser)
    s.xdo("key", "End")
    s.xdo("type", "--delay", "150", name)
    s.screenshot("chooser")
    s.xdo("key", "Return")
    wait_for(lambda: not s.windows(title), 10, "the chooser to close")


def scenario_files(s):
    path = os.path.join(s.dir, "files", "call.tdd")
    w = s.start()
    s.type(w, "SAVE THIS CALL GA")
    s.key(w, "Return")
    s.type(w, "SK")
    s.key(w, "ctrl+s")  # no file name yet: Save As
    info = dialog(s, "File Info")
    s.screenshot("file-info")
    s.focus(info)
    s.xdo("key", "Return")
    choose_file(s, "Save as", "call.tdd")
    wait_for(lambda: s.title(w).endswith("[call.tdd]"), 5, "the saved title")
    check(os.path.getsize(path) > 20, "nothing saved")
    before = s.screenshot("saved")
    s.key(w, "ctrl+n")
    wait_for(lambda: s.title(w).endswith("[Conversation1]"), 5, "the new title")
    s.screenshot("new")
    s.key(w, "ctrl+o")
    choose_file(s, "Load", ".tdd")  # offered: the saved path without extension
    wait_for(lambda: s.title(w).endswith("[call.tdd]"), 5, "the opened title")
    x, y, ww, hh = window_box(s, w)
    region = (x + 5, y + 30, ww - 30, hh - 110)
    saved = pixels(before, *region)
    try:
        wait_for(lambda: pixels(s.screenshot("opened"), *region) == saved, 10,
                 "the opened conversation")
    except Failure:
        raise Failure("the opened conversation does not look like the saved one")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def scenario_restart(s):
    w = s.start("-geometry", "+40+30")
    pid = s.proc.pid
    with open("/proc/%d/cmdline" % pid, "rb") as f:
        cmdline = f.read()
    shown = s.windows(".*")
    s.key(w, "alt+o")
    s.new_windows(shown, "the Options menu")
    s.screenshot("options-menu")
    s.xdo("key", "r")
    # The process replaces itself: same pid; its old window goes away with
    # its display connection and a new one comes (the X server may give it
    # the same id).
    wait_for(lambda: not s.windows("Quelto Version") or
             [x for x in s.windows("Quelto Version") if x != w], 15, "the old window to go")
    check(s.proc.poll() is None, "the process ended instead of restarting")
    with open("/proc/%d/cmdline" % pid, "rb") as f:
        check(f.read() == cmdline, "the restarted program has other arguments")
    with open("/proc/%d/environ" % pid, "rb") as f:
        check(b"QUELTOEXEC=" + QUELTO.encode() in f.read().split(b"\0"), "QUELTOEXEC not set")
    w2 = s.main_window()
    # The profile is the same: its current-text colour (green) is used.
    s.type(w2, "SAME")
    x, y, ww, hh = window_box(s, w2)
    seen = [0]

    def green_shown():
        band = pixels(s.screenshot("restarted"), x + 5, y + hh - 80, ww - 30, 40)
        seen[0] = sum(1 for p in band if p[1] > 150 and p[0] < 80 and p[2] < 80)
        return seen[0] > 20

    try:
        wait_for(green_shown, 10, "the typed text")
    except Failure:
        raise Failure("the profile's green current text is not shown (%d)" % seen[0])
    s.key(w2, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def click_button(s, window, label_x_from_right):
    x, y, ww, hh = window_box(s, window)
    s.xdo("mousemove", "--sync", str(x + ww - label_x_from_right), str(y + hh - 20))
    s.xdo("click", "1")


def question_window(s, main):
    """The toolkit's question box: the visible window other than the main one,
    one text line high."""
    def find():
        for w in s.windows(".*"):
            if w == main:
                continue
            x, y, ww, hh = window_box(s, w)
            if 100 < ww < 900 and 50 < hh < 200:
                return w
        return None
    return wait_for(find, 10, "the save question")


def scenario_confirm_quit(s):
    w = s.start()
    s.type(w, "NOT SAVED")
    s.key(w, "ctrl+q")
    q = question_window(s, w)
    s.screenshot("question")
    s.focus(q)
    # Buttons, right to left: Cancel, Yes, No. Escape is Cancel: the text
    # stays.
    s.xdo("key", "Escape")
    wait_for(lambda: q not in s.windows(".*"), 10, "the question to close")
    # Hiding destroyed the window; showing it again made a new one.
    w = wait_for(lambda: s.proc.poll() is not None or (s.windows("Quelto Version") or [None])[0],
                 10, "the main window after Cancel")
    check(s.proc.poll() is None, "Cancel ended the program")
    s.screenshot("after-cancel")
    s.key(w, "ctrl+q")
    q = question_window(s, w)
    s.focus(q)
    # Shift+Tab from the default (Yes) reaches No, the leftmost.
    s.xdo("key", "shift+Tab", "space")
    check(s.wait_exit() == 0, "No did not end the program with 0")


def save_as(s, w, name):
    """Ctrl+S on a conversation without a file: File Info, then the chooser."""
    s.key(w, "ctrl+s")
    info = dialog(s, "File Info")
    s.focus(info)
    s.xdo("key", "Return")
    choose_file(s, "Save as", name)
    wait_for(lambda: s.title(w).endswith("[%s]" % name), 10, "the saved title")


def scenario_escape_keeps_text(s):
    # Ctrl+N with unsaved text: Escape in the question is Cancel.
    w = s.start()
    s.type(w, "DO NOT LOSE ME")
    s.key(w, "ctrl+n")
    q = question_window(s, w)
    s.screenshot("question")
    s.focus(q)
    s.xdo("key", "Escape")
    wait_for(lambda: q not in s.windows(".*"), 5, "the question to close")
    save_as(s, w, "kept.tdd")
    with open(os.path.join(s.dir, "files", "kept.tdd"), "rb") as f:
        check(b"DO NOT LOSE ME" in f.read(), "the text was lost behind Escape")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def scenario_crash_recovery(s):
    copy = os.path.join(s.dir, "state", "quelto", "recovery.tdd")
    w = s.start()
    s.type(w, "TYPED BEFORE THE CRASH")

    def copy_holds_the_text():
        # The copy follows the typing a second behind: a copy written
        # half way through the line holds only its start.
        try:
            with open(copy, "rb") as f:
                return b"TYPED BEFORE THE CRASH" in f.read()
        except FileNotFoundError:
            return False

    wait_for(copy_holds_the_text, 10, "the recovery copy to hold the typed text")
    mode = os.stat(copy).st_mode & 0o777
    check(mode == 0o600, "recovery copy mode %o" % mode)
    os.kill(s.proc.pid, signal.SIGKILL)
    s.proc.wait()
    check(os.path.exists(copy), "the copy went with the program")

    w = s.start()
    q = question_window(s, w)
    s.screenshot("restore-question")
    s.focus(q)
    s.xdo("key", "Return")  # Yes
    wait_for(lambda: q not in s.windows(".*"), 5, "the question to close")
    s.screenshot("restored")
    save_as(s, w, "restored.tdd")
    with open(os.path.join(s.dir, "files", "restored.tdd"), "rb") as f:
        check(b"TYPED BEFORE THE CRASH" in f.read(), "the text did not come back")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")
    check(not os.path.exists(copy), "a normal end left the recovery copy")


def scenario_password_file(s):
    # The one profile has a password: its files are encrypted.
    path = os.path.join(s.dir, "files", "secret.tdd")
    w = s.start()
    s.type(w, "MY ACCOUNT NUMBER IS 4242")
    save_as(s, w, "secret.tdd")
    with open(path, "rb") as f:
        data = f.read()
    check(data[:4] == bytes([0x44, 0x55, 0x33, 0x22]), "not the protected layout")
    for secret in (b"ACCOUNT", b"4242", b"hunter2"):
        check(secret not in data, "%r readable in the file" % secret)
    check(b"Alice" in data, "the owner's name is not readable")
    s.key(w, "ctrl+n")
    wait_for(lambda: s.title(w).endswith("[Conversation1]"), 5, "the new title")
    # Opened again by its owner: no question, the title names it.
    s.key(w, "ctrl+o")
    choose_file(s, "Load", ".tdd")
    wait_for(lambda: s.title(w).endswith("[secret.tdd]"), 20, "the opened title")
    s.screenshot("opened")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def scenario_old_scrambled_file(s):
    # A file of the old scrambled layout, another owner's, named on the
    # command line: asked for its password, opened, and saved again in
    # the current profile's plain layout with its text.
    source = os.path.join(HERE, "..", "conversation", "data", "golden_password.tdd")
    old = os.path.join(s.dir, "files", "old.tdd")
    shutil.copy(source, old)
    s.launch(old)
    w = s.main_window()
    q = question_window(s, w)
    s.screenshot("password-question")
    s.focus(q)
    s.xdo("type", "--delay", "60", "secret")
    s.xdo("key", "Return")
    wait_for(lambda: s.title(w).endswith("[old.tdd]"), 10, "the opened title")
    s.screenshot("opened")
    s.key(w, "ctrl+s")  # someone else's file: Save asks for a name
    info = dialog(s, "File Info")
    s.focus(info)
    s.xdo("key", "Return")
    choose_file(s, "Save as", "mine.tdd")
    wait_for(lambda: s.title(w).endswith("[mine.tdd]"), 10, "the saved title")
    with open(os.path.join(s.dir, "files", "mine.tdd"), "rb") as f:
        data = f.read()
    check(b"HOW ARE YOU" in data, "the old file's text did not come through")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def profile_settings(current_colour):
    # One named profile, stored as the program stores it.
    return {"NProfiles": "1", "Profiles": "1700000000",
            "profiles\\1700000000\\id": "1700000000",
            "profiles\\1700000000\\name": "Alice",
            "profiles\\1700000000\\currentTextColor": str(current_colour)}


def receive_input():
    text = "GA HELLO FROM THE LINE"
    with tempfile.TemporaryDirectory() as d:
        tx = os.path.join(d, "tx.wav")
        subprocess.run(["minimodem", "--tx", "tdd", "-R", "8000", "-f", tx],
                       input=(text + " SO LONG THAT IT WRAPS INTO THE HISTORY GA").encode(),
                       check=True)
        return subprocess.run(["sox", tx, "-t", "raw", "-e", "signed", "-b", "16", "-L", "-c", "1",
                               "-r", "8000", "-"], capture_output=True, check=True).stdout


SCENARIOS = {
    "send": (scenario_send, lambda: {}, lambda: b""),
    "receive": (scenario_receive, lambda: {}, receive_input),
    "single_instance": (scenario_single_instance, lambda: {}, lambda: b""),
    "files": (scenario_files, lambda: {}, lambda: b""),
    "restart": (scenario_restart, lambda: profile_settings(2), lambda: b""),
    "confirm_quit": (scenario_confirm_quit, lambda: {"ConfirmFileQuit": "1"}, lambda: b""),
    "escape_keeps_text": (scenario_escape_keeps_text, lambda: {"ConfirmFileNew": "1"},
                          lambda: b""),
    "crash_recovery": (scenario_crash_recovery, lambda: {}, lambda: b""),
    "password_file": (scenario_password_file,
                      lambda: dict(profile_settings(2),
                                   **{"profiles\\1700000000\\password": "hunter2"}),
                      lambda: b""),
    "old_scrambled_file": (scenario_old_scrambled_file, lambda: {}, lambda: b""),
}


def run_scenarios(names, scenario):
    """Runs each named scenario in a session of its own; `scenario(name)`
    gives the scenario's function and its new session. Returns the exit
    status: 1 when any scenario failed."""
    failed = []
    for name in names:
        run, s = scenario(name)
        try:
            run(s)
            print("PASS", name)
        except Exception as e:  # any failure of one scenario; the others still run
            failed.append(name)
            print("FAIL", name, "-", e)
        finally:
            s.close()
    print("screenshots in", OUTPUT)
    return 1 if failed else 0


def main():
    def scenario(name):
        run, settings, line_in = SCENARIOS[name]
        return run, Session(name, settings(), line_in())
    return run_scenarios(sys.argv[4:] or list(SCENARIOS), scenario)


if __name__ == "__main__":
    sys.exit(main())
