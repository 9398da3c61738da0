#!/usr/bin/env python3
"""End-to-end tests of the tool windows and commands of the real quelto:
dialling a phonebook number (spandsp's DTMF detector reads the digits from
what was played), the vocal announcement, the diagnostic, File->To RTF
(LibreOffice reads the document back) and File->Print to a PostScript file
through the print dialog (ghostscript renders the pages). Screenshots of the
tool windows in English and French are kept for a person to look at.

Runs on the driver of quelto_e2e.py (same display, settings and audio line).

Usage: tool_windows_e2e.py QUELTO QUELTO_MODEM OUTPUT_DIR SPANDSP_PEER [SCENARIO...]
"""
import os
import re
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import quelto_e2e as e2e  # noqa: E402  (reads QUELTO, QUELTO_MODEM, OUTPUT from argv)
from quelto_e2e import Failure, check, dialog, choose_file, wait_for, window_box  # noqa: E402

SPANDSP_PEER = os.path.abspath(sys.argv[4])
SOURCE = os.path.dirname(os.path.dirname(HERE))
PROFILE = "profiles\\1700000000"


def one_profile(extra=None):
    settings = {"NProfiles": "1", "Profiles": "1700000000",
                PROFILE + "\\id": "1700000000", PROFILE + "\\name": "Alice",
                PROFILE + "\\firstName": "Alice", PROFILE + "\\lastName": "Martin"}
    settings.update(extra or {})
    return settings


def dtmf_digits(session, samples):
    path = os.path.join(session.dir, "dial.wav")
    # spandsp reads 16-bit samples: the 8-bit line signal, widened.
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"".join(((s - 128) * 256).to_bytes(2, "little", signed=True) for s in samples))
    r = subprocess.run([SPANDSP_PEER, "dtmf", path], capture_output=True, check=True)
    return r.stdout.decode().strip()


MENUS = {"file": 0, "edit": 1, "options": 2, "tools": 3, "help": 4}


def menu(session, window, name, item_key, done):
    """Opens a menu of the menu bar and picks an item by its underlined
    letter, then waits until `done()` says the item ran. Alt+T is also the
    Stop button's key, so menus are opened with the mouse on "File" and
    reached with the arrow keys, each key once the menu before it is shown."""
    x, y, ww, hh = window_box(session, window)
    session.focus(window)
    shown = session.windows(".*")
    session.xdo("mousemove", "--sync", str(x + 20), str(y + 12))
    session.xdo("click", "1")
    open_menu = session.new_windows(shown, "the File menu")
    for _ in range(MENUS[name]):
        session.xdo("key", "Right")
        open_menu = session.new_windows(open_menu, "the next menu")
    session.xdo("key", item_key)
    return wait_for(done, 10, "the %s menu item %r" % (name, item_key))


def file_info_ok(session):
    """Presses "OK" with the mouse: after a menu picked with the keyboard the
    window does not always see a Return."""
    info = dialog(session, "File Info")
    x, y, ww, hh = window_box(session, info)
    session.xdo("mousemove", "--sync", str(x + 97), str(y + 327))
    session.xdo("click", "1")
    wait_for(lambda: not session.windows("File Info"), 10, "File Info to close")


def about_box(session):
    """The about box: it has no title, so it is found by its size."""
    for w in session.windows(".*"):
        if not session.title(w) and window_box(session, w)[2:] == (370, 286):
            return w
    return None


def received_text_shown(session, window):
    """Received text (dark teal, the default) in the conversation's history."""
    x, y, ww, hh = window_box(session, window)
    shot = session.screenshot("received")
    history = e2e.pixels(shot, x + 10, y + 40, ww - 40, hh - 140)
    return sum(1 for p in history if e2e.is_received_colour(p)) > 50


# --- Scenarios -------------------------------------------------------------------

def scenario_dial(s):
    w = s.start()
    phonebook = menu(s, w, "tools", "d", lambda: (s.windows("Phonebook") or [None])[0])
    s.screenshot("dialling")
    x, y, ww, hh = window_box(s, phonebook)
    # The second line of the list: the first contact has no number.
    s.xdo("mousemove", "--sync", str(x + 60), str(y + 30 + 8 + 18))
    s.xdo("click", "1")
    wait_for(lambda: not s.windows("Phonebook"), 10, "the dialling window to close")
    number = "0145*67#89"
    wait_for(lambda: dtmf_digits(s, s.played(8000)) == number, 20,
             "the digits %s in the played tones (read %r)" % (number, dtmf_digits(s, s.played(8000))))
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def scenario_announce(s):
    with open(os.path.join(SOURCE, "res", "announce-fr.raw"), "rb") as f:
        recording = f.read()
    w = s.start()
    s.key(w, "ctrl+z")
    wait_for(lambda: recording in s.played(8000), 30, "the recording to be played")
    # The recording, whole, and nothing else but silence around it.
    played = s.played(8000).strip(bytes([128]))
    check(played == recording.strip(bytes([128])),
          "%d samples played for a recording of %d" % (len(played), len(recording)))
    print("  announcement: %d samples (%.2f s) played at 8000 Hz" % (len(recording), len(recording) / 8000))
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def scenario_diagnostic(s):
    w = s.start()
    menu(s, w, "help", "d", lambda: received_text_shown(s, w))
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")
    log = s.logs().lower()
    # The interface is English here, and so is the report.
    for part in ("the input device is not set in the preferences",
                 "the output device is not set in the preferences"):
        check(part in log, "%r missing from the received text:\n%s" % (part, log))


def scenario_rtf(s):
    w = s.start()
    s.type(w, "HELLO RTF WORLD GA")
    menu(s, w, "file", "r", lambda: s.windows("File Info"))
    file_info_ok(s)
    choose_file(s, "Save to RTF...", "call.rtf")
    path = os.path.join(s.dir, "files", "call.rtf")
    wait_for(lambda: os.path.exists(path), 10, "the RTF file")
    out = os.path.join(s.dir, "converted")
    subprocess.run(["soffice", "--headless", "-env:UserInstallation=file://" + os.path.join(s.dir, "lo"),
                    "--convert-to", "txt:Text", "--outdir", out, path],
                   env=dict(s.env, HOME=os.path.join(s.dir, "home")), capture_output=True, timeout=180)
    with open(os.path.join(out, "call.txt"), "rb") as f:
        text = f.read().decode("utf-8-sig")
    check("HELLO RTF WORLD GA" in text, "LibreOffice read %r" % text)
    check("Alice Martin" in text, "the Printed by line is missing: %r" % text)
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def scenario_print(s):
    w = s.start()
    s.type(w, "HELLO PAPER GA")
    s.key(w, "ctrl+p")
    file_info_ok(s)
    printer = dialog(s, "Print")
    s.screenshot("print-dialog")
    s.focus(printer)
    s.xdo("key", "Return")  # "Print To File"
    # The toolkit's own chooser of the printer (the desktop's, GTK here),
    # which opens on "Recently Used": it takes a whole path.
    path = os.path.join(s.dir, "files", "call.ps")
    chooser = dialog(s, "Select a .ps file")
    s.focus(chooser)
    s.xdo("key", "ctrl+a")
    s.xdo("type", "--delay", "30", path)
    s.screenshot("ps-chooser")
    s.xdo("key", "Return")
    wait_for(lambda: os.path.exists(path) and b"%%EOF" in open(path, "rb").read(), 10,
             "the PostScript file")
    pages = os.path.join(s.dir, "page-%d.png")
    r = subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pnggray", "-r50",
                        "-sOutputFile=" + pages, path], capture_output=True)
    check(r.returncode == 0, "ghostscript failed: %s" % r.stderr.decode())
    check(os.path.exists(pages % 1), "ghostscript rendered no page")
    # Ink on the page: the heading, the rules and the text.
    raw = subprocess.run(["convert", pages % 1, "-depth", "8", "gray:-"], capture_output=True,
                         check=True).stdout
    dark = sum(1 for b in raw if b < 128)
    check(dark > 200, "the rendered page is blank (%d dark pixels)" % dark)
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def screens(s):
    """Each tool window on its own, for a person to look at."""
    w = s.start()
    s.key(w, "F2")
    dialog(s, s.expect["Programmed Messages"])
    s.screenshot("programmed-messages")
    s.key(dialog(s, s.expect["Programmed Messages"]), "Escape")
    wait_for(lambda: not s.windows(s.expect["Programmed Messages"]), 10, "the messages to close")
    phonebook = menu(s, w, "tools", s.expect["dial key"],
                     lambda: (s.windows(s.expect["Phonebook"]) or [None])[0])
    s.screenshot("dialling")
    s.key(phonebook, "Escape")
    wait_for(lambda: not s.windows(s.expect["Phonebook"]), 10, "the dialling window to close")
    about = menu(s, w, "help", s.expect["about key"], lambda: about_box(s))
    s.screenshot("about")
    s.key(about, "Return")
    s.key(w, "F1")
    dialog(s, s.expect["Help"])
    s.screenshot("help")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def scenario_screens_en(s):
    s.expect = {"Programmed Messages": "Programmed Messages", "Phonebook": "Phonebook",
                "Help": "Help", "dial key": "d", "about key": "a"}
    screens(s)


def scenario_screens_fr(s):
    s.expect = {"Programmed Messages": "^Messages pr",  # xdotool matches ASCII only
                "Phonebook": "Bottin",
                "Help": "Aide", "dial key": "c", "about key": "p"}
    screens(s)


def dial_settings():
    return one_profile({PROFILE + "\\bottin\\numEntries": "2",
                        PROFILE + "\\bottin\\entry0name": "Nobody",
                        PROFILE + "\\bottin\\entry0number": "",
                        PROFILE + "\\bottin\\entry1name": "Bob",
                        PROFILE + "\\bottin\\entry1number": "0145*67#89"})


SCENARIOS = {
    "dial": (scenario_dial, dial_settings),
    "announce": (scenario_announce, one_profile),
    "diagnostic": (scenario_diagnostic, one_profile),
    "rtf": (scenario_rtf, one_profile),
    "print": (scenario_print, one_profile),
    "screens_en": (scenario_screens_en, dial_settings),
    "screens_fr": (scenario_screens_fr, lambda: dict(dial_settings(), Language="Fr")),
}


def main():
    def scenario(name):
        run, settings = SCENARIOS[name]
        return run, e2e.Session("tools-" + name, settings())
    return e2e.run_scenarios(sys.argv[5:] or list(SCENARIOS), scenario)


if __name__ == "__main__":
    sys.exit(main())
