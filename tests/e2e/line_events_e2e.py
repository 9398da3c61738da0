#!/usr/bin/env python3
"""End-to-end tests of line events and the call for attention, on the
PulseAudio telephone line: the real quelto listens in real time to a private
PulseAudio daemon's null sink, into which the test plays the far end.

- tones: North American ringing, a quiet line, then busy, played into the
  running program, appear in its activity log as headings in that order;
- urgency: TDD text arriving while another program has the focus sets the
  main window's urgency hint (read back from WM_HINTS with xprop), and the
  hint is cleared when the main window gets the focus again.

Runs on the driver of quelto_e2e.py (display, settings, scratch folders).
Every wait is for something to happen, bounded by a timeout that only a
broken program reaches: a loaded machine makes the tests slower, never wrong.

Usage: line_events_e2e.py QUELTO QUELTO_MODEM OUTPUT_DIR [SCENARIO...]
"""
import array
import math
import os
import re
import subprocess
import sys
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import quelto_e2e as e2e  # noqa: E402  (reads QUELTO, QUELTO_MODEM, OUTPUT from argv)
from quelto_e2e import Failure, check, wait_for  # noqa: E402

RATE = 8000
# The urgency flag of WM_HINTS (X11's XUrgencyHint).
URGENCY_HINT = 1 << 8
LINE_HEADINGS = ("DIAL_TONE", "RINGING", "BUSY", "REORDER", "VOICE", "LINE_QUIET")


class PulseLine:
    """A private PulseAudio daemon: quelto records the monitor of the null
    sink `line` (where the test plays the far end) and plays into the null
    sink `out`. A third sink, `keeper`, listens to both monitors through
    short loopbacks: without them an idle null sink renders in 2 s chunks
    and a new recorder stalls, losing audio."""

    def __init__(self, session):
        self.session = session
        script = os.path.join(session.dir, "line.pa")
        with open(script, "w") as f:
            f.write("load-module module-native-protocol-unix auth-anonymous=1\n"
                    "load-module module-null-sink sink_name=line\n"
                    "load-module module-null-sink sink_name=out\n"
                    "load-module module-null-sink sink_name=keeper\n"
                    "load-module module-loopback source=line.monitor sink=keeper latency_msec=20\n"
                    "load-module module-loopback source=out.monitor sink=keeper latency_msec=20\n"
                    "set-default-sink keeper\n"
                    "set-default-source keeper.monitor\n")
        env = session.env
        # The program must take the sound server, not the file test line.
        env.pop("ALSA_CONFIG_PATH", None)
        env.update({
            "PULSE_SERVER": "unix:" + os.path.join(env["XDG_RUNTIME_DIR"], "pulse", "native"),
            "PULSE_COOKIE": os.path.join(env["HOME"], ".config", "pulse", "cookie"),
        })
        self.daemon = subprocess.Popen(
            ["pulseaudio", "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
             "--use-pid-file=no", "--realtime=no", "--high-priority=no"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: self.daemon.poll() is not None or subprocess.run(
            ["pactl", "info"], env=env, capture_output=True).returncode == 0, 60,
            "the PulseAudio daemon")
        check(self.daemon.poll() is None, "the PulseAudio daemon did not start")
        # The loopbacks settle after the daemon answers.
        time.sleep(2.2)
        env.update({"PULSE_SOURCE": "line.monitor", "PULSE_SINK": "out"})

    def recording(self):
        """Whether a program other than the daemon's loopbacks records."""
        r = subprocess.run(["pactl", "list", "short", "source-outputs"], env=self.session.env,
                           capture_output=True, text=True)
        return len([x for x in r.stdout.splitlines() if x.strip()]) > 2

    def play(self, path):
        """Plays a WAV file into the line; returns at once (real time)."""
        return subprocess.Popen(["paplay", "--device=line", path], env=self.session.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        if self.daemon.poll() is None:
            self.daemon.terminate()
            try:
                self.daemon.wait(10)
            except subprocess.TimeoutExpired:
                self.daemon.kill()
                self.daemon.wait()


def tone_pair(f1, f2, seconds, dbfs):
    """Two tones, each at `dbfs` RMS relative to a full-scale sine."""
    amplitude = 32767 * 10 ** (dbfs / 20)
    n = int(seconds * RATE)
    return [amplitude * (math.sin(2 * math.pi * f1 * i / RATE) + math.sin(2 * math.pi * f2 * i / RATE))
            for i in range(n)]


def silence(seconds):
    return [0.0] * int(seconds * RATE)


def cadence(f1, f2, on, off, cycles, dbfs):
    out = []
    for _ in range(cycles):
        out += tone_pair(f1, f2, on, dbfs) + silence(off)
    return out


def write_wav16(path, samples):
    """16-bit mono WAV at RATE; samples are rounded and clipped to 16 bits."""
    a = array.array("h", (int(max(-32768, min(32767, round(s)))) for s in samples))
    if sys.byteorder != "little":
        a.byteswap()
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(a.tobytes())


def line_headings(log):
    """The line-event headings of the log, in order."""
    return re.findall(r"\\(%s) " % "|".join(LINE_HEADINGS), log)


def urgent(session, window):
    """Whether the window's WM_HINTS carry the urgency flag (flags as a
    number: xprop's readable form does not show it)."""
    r = subprocess.run(["xprop", "-id", window, "-notype", "-f", "WM_HINTS", "32c", " $0\\n",
                        "WM_HINTS"], env=session.env, capture_output=True, text=True)
    m = re.search(r"WM_HINTS\s+(\d+)", r.stdout)
    return bool(m) and int(m.group(1)) & URGENCY_HINT != 0


# --- Scenarios -------------------------------------------------------------------

def scenario_tones(s, line):
    w = s.start()
    wait_for(line.recording, 60, "quelto to listen to the line")
    # Ringing at -16 dBFS per tone, 2 s on 4 s off twice; a quiet line long
    # enough for ringing to end; then busy, 0.5 s on 0.5 s off, and quiet.
    signal = (cadence(440, 480, 2.0, 4.0, 2, -16) + silence(4.0) +
              cadence(480, 620, 0.5, 0.5, 6, -16) + silence(6.0))
    path = os.path.join(s.dir, "tones.wav")
    write_wav16(path, signal)
    player = line.play(path)
    expected = ["RINGING", "LINE_QUIET", "BUSY", "LINE_QUIET"]
    try:
        wait_for(lambda: line_headings(s.logs()) == expected, 60 + len(signal) / RATE,
                 "the line-event headings")
    except Failure:
        raise Failure("line-event headings %s, expected %s; log:\n%s"
                      % (line_headings(s.logs()), expected, s.logs()))
    player.wait()
    s.screenshot("after-tones")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")
    check(line_headings(s.logs()) == expected,
          "line-event headings after quitting: %s" % line_headings(s.logs()))


def scenario_urgency(s, line):
    w = s.start()
    wait_for(line.recording, 60, "quelto to listen to the line")
    # Another program takes the focus: quelto is now in the background.
    other = subprocess.Popen(["xmessage", "-name", "elsewhere", "another program"], env=s.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        elsewhere = wait_for(lambda: (s.windows("another program|elsewhere|xmessage") or [None])[0],
                             30, "the other program's window")
        s.focus(elsewhere)
        time.sleep(1)
        check(not urgent(s, w), "urgency hint set before any text arrived")
        text = "GA HELLO FROM THE BACKGROUND GA"
        tx = os.path.join(s.dir, "tdd.wav")
        subprocess.run(["minimodem", "--tx", "tdd", "-R", str(RATE), "-f", tx],
                       input=text.encode(), check=True)
        line.play(tx).wait()
        wait_for(lambda: urgent(s, w), 60, "the urgency hint after text arrived in the background")
        s.screenshot("urgent")
        # The focus back on the main window clears it.
        s.focus(w)
        wait_for(lambda: not urgent(s, w), 30, "the urgency hint to be cleared by the focus")
    finally:
        other.kill()
        other.wait()
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")
    log = s.logs()
    check("\\RECEIVING" in log and text in log.split("\\RECEIVING", 1)[1],
          "received text missing from the log:\n" + log)


SCENARIOS = {
    "tones": scenario_tones,
    "urgency": scenario_urgency,
}


def run_on_pulse_line(scenarios):
    """Runs the named scenarios (all by default), each as
    scenario(session, line) on a private PulseAudio daemon of its own."""
    def scenario(name):
        def run(session):
            # The daemon runs in the session's folders, so it ends first.
            line = PulseLine(session)
            try:
                scenarios[name](session, line)
            finally:
                line.close()
        return run, e2e.Session(name)

    return e2e.run_scenarios(sys.argv[4:] or list(scenarios), scenario)


if __name__ == "__main__":
    sys.exit(run_on_pulse_line(SCENARIOS))
