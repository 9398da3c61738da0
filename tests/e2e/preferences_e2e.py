#!/usr/bin/env python3
"""End-to-end tests of the preference and profile windows of the real quelto
program, with the session, keys and audio line of quelto_e2e.py.

Usage: preferences_e2e.py QUELTO QUELTO_MODEM OUTPUT_DIR [SCENARIO...]
"""
import sqlite3
import os
import sys

import quelto_e2e as e2e
from quelto_e2e import check, dialog, wait_for, window_box

def ascii_pattern(title):
    """xdotool matches window names byte by byte: each accented letter of a
    title becomes ".*" in the search pattern."""
    return "".join(c if ord(c) < 128 else ".*" for c in title)


# The window titles in each interface language, as search patterns.
TITLES = {
    "English": {"personal": "Personal Preferences", "global": "Global Preferences",
                "edit": "Editing Profile...", "delete": "Deleting a Profile"},
    "Français": {"personal": "Préférences personnelles", "global": "Préférences globales",
                 "edit": "Modification du profil courant...", "delete": "Destruction d'un profil"},
}
TITLES = {language: {k: ascii_pattern(v) for k, v in titles.items()} for language, titles in TITLES.items()}


def launch(s):
    """Starts quelto; a busy machine may take a while to show the window."""
    s.proc = e2e.subprocess.Popen(e2e.LAUNCH, env=s.env, cwd=os.path.join(s.dir, "files"),
                                  stdout=e2e.subprocess.DEVNULL, stderr=e2e.subprocess.DEVNULL)
    return s.main_window()


def setting(s, name):
    db = sqlite3.connect(os.path.join(s.dir, "config/quelto/settings.sqlite"))
    row = db.execute("SELECT value FROM settings WHERE name = ?", (name,)).fetchone()
    db.close()
    return row[0] if row else None


def click(s, window, x, y):
    wx, wy, _, _ = window_box(s, window)
    s.xdo("mousemove", "--sync", str(wx + x), str(wy + y))
    s.xdo("click", "1")


def options_item(s, main, key):
    """Options menu, then, once it is shown, the item's underlined letter."""
    shown = s.windows(".*")
    s.key(main, "alt+o")
    s.new_windows(shown, "the Options menu")
    s.xdo("key", key)


def scenario_programmed_message(s):
    """Message 1 typed on the "Messages" page goes out with F3."""
    w = launch(s)
    main_only = s.windows(".*")
    options_item(s, w, "p")
    prefs = dialog(s, "Personal Preferences")
    # The server delivers the keys and the click in order.
    for _ in range(3):  # "Fonts & Colors" -> "Messages"
        s.key(prefs, "alt+period")
    click(s, prefs, 200, 95)  # the F3 field
    s.xdo("type", "--delay", "30", "CALL ME GA")
    s.screenshot("messages-page")
    s.xdo("key", "Return")  # OK, with the mouse still over the page
    # The window and the menu that opened it gone: F3 reaches the main window.
    s.only_windows(main_only, "the window to close")
    s.key(w, "F3")
    text = "CALL ME GA"
    wait_for(lambda: len(e2e.quelto_decode(s, s.played()).strip()) >= len(text), 30,
             "the message to be played")
    played = e2e.quelto_decode(s, s.played()).strip()
    check(played == text, "quelto-modem decoded %r" % played)
    got = e2e.minimodem_decode(s, s.played())
    check(got.replace("\r", "\n").strip() == text, "minimodem decoded %r" % got)
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")
    check(setting(s, "profiles\\0\\message0") == text, "message 1 not stored with the profile")


def scenario_language_restart(s):
    """Global Preferences: English chosen in the French interface, Yes to the
    restart question, and the program comes back in English."""
    w = launch(s)
    pid = s.proc.pid
    options_item(s, w, "g")
    prefs = dialog(s, TITLES["Français"]["global"])
    s.screenshot("global-fr")
    with_prefs = s.windows(".*")
    click(s, prefs, 220, 24)  # the language choice: its menu opens on "Français"
    s.new_windows(with_prefs, "the language menu")
    s.xdo("key", "Up", "Return")
    s.only_windows(with_prefs, "the language menu to close")
    s.screenshot("english-chosen")
    click(s, prefs, 165, 423)  # OK
    question = wait_for(lambda: next((x for x in s.windows(".*") if x != w and s.title(x) == "Quelto"
                                      and 50 < window_box(s, x)[3] < 200), None),
                        10, "the restart question")
    s.screenshot("restart-question")
    s.focus(question)
    s.xdo("key", "Return")  # the default button, "Oui"
    wait_for(lambda: [x for x in s.windows("Quelto Version") if x != w] or not s.windows("Quelto Version"),
             15, "the old window to go")
    check(s.proc.poll() is None and s.proc.pid == pid, "the program ended instead of restarting")
    w2 = s.main_window()
    check(setting(s, "Language") == "English", "Language stored as %r" % setting(s, "Language"))
    options_item(s, w2, "g")
    dialog(s, "Global Preferences")  # its English title
    s.screenshot("global-en-after-restart")
    s.xdo("key", "Escape")
    wait_for(lambda: not s.windows("Global Preferences"), 5, "the window to close")
    s.key(w2, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


def windows_in(language):
    def run(s):
        titles = TITLES[language]
        w = launch(s)
        options_item(s, w, "p")
        prefs = dialog(s, titles["personal"])
        for page in ("fonts", "communication", "print", "messages", "phonebook"):
            s.screenshot("personal-" + page)
            s.key(prefs, "alt+period")
        s.key(prefs, "Escape")
        wait_for(lambda: not s.windows(titles["personal"]), 5, "the window to close")
        edit_key = {"English": "e", "Français": "m"}[language]  # &Edit / &Modifier
        for name, key in (("global", "g"), ("edit", edit_key), ("delete", "d")):
            options_item(s, w, key)
            window = dialog(s, titles[name])
            s.screenshot(name)
            s.key(window, "Escape")
            wait_for(lambda: not s.windows(titles[name]), 5, "the %s window to close" % name)
        s.key(w, "ctrl+q")
        check(s.wait_exit() == 0, "quelto did not end with 0")
    return run


def scenario_splash(s):
    """The splash window shows at start for its duration, then the main window."""
    s.proc = e2e.subprocess.Popen(e2e.LAUNCH, env=s.env, cwd=os.path.join(s.dir, "files"),
                                  stdout=e2e.subprocess.DEVNULL, stderr=e2e.subprocess.DEVNULL)
    def splash_shown():
        for x in s.windows(".*"):
            try:
                if window_box(s, x)[2:] == (359, 279):
                    return x
            except e2e.Failure:  # a window that went away meanwhile
                pass
        return None
    wait_for(splash_shown, 30, "the splash window")
    check(not s.windows("Quelto Version"), "the main window came before the splash window ended")
    shot = s.screenshot("splash")
    # Centred in the 1024 x 768 screen: its middle is not the black root.
    middle = e2e.pixels(shot, 462, 364, 100, 40)
    check(sum(1 for p in middle if max(p) > 100) > 1000, "no splash window in the middle")
    w = s.main_window()
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")


SCENARIOS = {
    "programmed_message": (scenario_programmed_message, {}),
    "language_restart": (scenario_language_restart, {"Language": "Français"}),
    "windows_en": (windows_in("English"), {"Language": "English"}),
    "windows_fr": (windows_in("Français"), {"Language": "Français"}),
    "splash": (scenario_splash, {"ShowSlpashScreen": "1", "SplashScreenDuration": "3"}),
}


def main():
    def scenario(name):
        run, settings = SCENARIOS[name]
        return run, e2e.Session(name, settings)
    return e2e.run_scenarios(sys.argv[4:] or list(SCENARIOS), scenario)


if __name__ == "__main__":
    sys.exit(main())
