#!/usr/bin/env python3
"""End-to-end test of typing at human speed on the PulseAudio telephone
line: single keys typed into the real quelto, each after the line has been
quiet for more than two seconds, so that every key starts a transmission of
its own from silence. What quelto plays is recorded from the line (the
monitor of the sink it plays into, 8000 Hz signed 16-bit) and every key's
transmission is read alone by two receivers: Quelto's own (quelto-modem
decode) and spandsp's V.18 TDD receiver, then all of them in a row. The keys
include every letter whose first data bit is mark, the ones a start bit cut
short loses, between figures, so that every transmission must begin with its
page's shift.

What this checks is the shape of each transmission, so it needs the sound
server to have played it whole: on a machine so busy that the server runs
dry inside a transmission (silence in the middle of the tone), that key is
typed again after another pause, and the test says so.

Runs on the drivers of quelto_e2e.py (display, settings, scratch folders)
and line_events_e2e.py (the private PulseAudio daemon). Every wait is for
something to happen on the line, bounded by a timeout that only a broken
program reaches; the only fixed times are the pauses between keys, which
are what the test is about.

Usage: single_keys_e2e.py QUELTO QUELTO_MODEM OUTPUT_DIR SPANDSP_PEER [SCENARIO...]
"""
import array
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
SPANDSP_PEER = os.path.abspath(sys.argv.pop(4))
import quelto_e2e as e2e  # noqa: E402  (reads QUELTO, QUELTO_MODEM, OUTPUT from argv)
from line_events_e2e import run_on_pulse_line, write_wav16  # noqa: E402
from quelto_e2e import Failure, check, wait_for  # noqa: E402

RATE = 8000
# The letters whose first data bit is mark, with figures between them, so
# that the far end's shift state changes both ways from one key to the next.
KEYS = list("A1BD4EF7JK0QS-UW$XY?Z8")
# Quiet line before each key: more than the two seconds a typist pauses.
PAUSE = 2.2
# A sample louder than this is the modem's tone (the null sink is silent).
LOUD = 2000
# Quiet after the last tone that ends a transmission: the lead-in and the
# hold are continuous tone, so any gap this long is the end.
QUIET_AFTER = int(0.4 * RATE)
# A transmission is continuous tone: silence longer than this inside one
# means the sound server ran out of what quelto queued ahead, on a machine
# too busy to keep it fed. Such a key is typed again, up to TRIES times.
INTERRUPTION = RATE // 500
TRIES = 6


class LineRecorder:
    """parec on the monitor of the sink quelto plays into, writing raw
    samples to a file that is read while it grows."""

    def __init__(self, session):
        self.path = os.path.join(session.dir, "line.raw")
        self.out = open(self.path, "wb")
        self.proc = subprocess.Popen(
            ["parec", "--device=out.monitor", "--raw", "--format=s16le", "--rate=%d" % RATE,
             "--channels=1", "--latency-msec=20"],
            env=session.env, stdout=self.out, stderr=subprocess.DEVNULL)

    def samples(self):
        with open(self.path, "rb") as f:
            data = f.read()
        a = array.array("h")
        a.frombytes(data[:len(data) - len(data) % 2])
        if sys.byteorder != "little":
            a.byteswap()
        return a

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(10)
        self.out.close()


def last_loud(samples, start):
    """Index of the last loud sample at or after `start`, or -1."""
    for i in range(len(samples) - 1, start - 1, -1):
        if abs(samples[i]) > LOUD:
            return i
    return -1


def first_loud(samples, start):
    for i in range(start, len(samples)):
        if abs(samples[i]) > LOUD:
            return i
    return -1


def interruption(samples, start, end):
    """The longest silence inside samples[start:end], in seconds."""
    longest = run = 0
    for i in range(start, end):
        run = run + 1 if abs(samples[i]) < LOUD // 10 else 0
        longest = max(longest, run)
    return longest / RATE


def read_by_quelto(path):
    r = subprocess.run([e2e.QUELTO_MODEM, "decode", path], capture_output=True)
    check(r.returncode == 0, "quelto-modem decode failed: %s" % r.stderr.decode())
    return r.stdout.decode("latin-1").strip()


def read_by_spandsp(path):
    r = subprocess.run([SPANDSP_PEER, "rx", path], capture_output=True)
    check(r.returncode == 0, "spandsp_peer rx failed: %s" % r.stderr.decode())
    return r.stdout.decode("latin-1").strip()


# --- Scenarios -------------------------------------------------------------------

def scenario_single_keys(s, line):
    w = s.start()
    wait_for(line.recording, 60, "quelto to listen to the line")
    rec = LineRecorder(s)
    typed, bursts, interrupted = [], [], []
    try:
        # A recorder of a sink's monitor may start late: wait until it records.
        wait_for(lambda: len(rec.samples()) > RATE // 2, 60, "the line recorder to record")
        for key in KEYS:
            for _ in range(TRIES):
                time.sleep(PAUSE)
                before = len(rec.samples())
                s.type(w, key)
                typed.append(key)
                start = wait_for(lambda: max(first_loud(rec.samples(), before), 0), 30,
                                 "the transmission of %r" % key)

                def ended():
                    samples = rec.samples()
                    end = last_loud(samples, start)
                    return end + 1 if len(samples) - end > QUIET_AFTER else 0

                end = wait_for(ended, 30, "the end of the transmission of %r" % key)
                gap = interruption(rec.samples(), start, end)
                if gap * RATE <= INTERRUPTION:
                    bursts.append((key, start, end))
                    break
                interrupted.append("%r (%.0f ms)" % (key, 1000 * gap))
            else:
                raise Failure("the line was interrupted in every transmission of %r: %s"
                              % (key, ", ".join(interrupted)))
        samples = rec.samples()
    finally:
        rec.close()
    if interrupted:
        print("typed again after the sound server ran dry inside a transmission:",
              ", ".join(interrupted))
    s.screenshot("typed")
    s.key(w, "ctrl+q")
    check(s.wait_exit() == 0, "quelto did not end with 0")

    # Each transmission alone, with a little of the quiet line around it,
    # then all of them in a row, so that each one meets the shift state the
    # one before left.
    missed = []
    margin = RATE // 4
    line_samples = array.array("h")
    for i, (key, start, end) in enumerate(bursts):
        piece = samples[max(0, start - margin):end + margin]
        line_samples.extend(piece)
        path = os.path.join(s.dir, "key-%02d.wav" % i)
        write_wav16(path, piece)
        got = {"quelto": read_by_quelto(path), "spandsp": read_by_spandsp(path)}
        for receiver, text in got.items():
            if text != key:
                missed.append("%r read as %r by %s (%.2f s of tone)"
                              % (key, text, receiver, (end - start) / RATE))
    whole = os.path.join(s.dir, "line.wav")
    write_wav16(whole, line_samples)
    expected = "".join(KEYS)
    for receiver, read in (("quelto", read_by_quelto), ("spandsp", read_by_spandsp)):
        text = read(whole)
        if text != expected:
            missed.append("the keys in a row read as %r by %s" % (text, receiver))
    if missed:
        # The line as recorded, for a person to listen to.
        kept = os.path.join(e2e.OUTPUT, "single_keys-line.wav")
        write_wav16(kept, samples)
        missed.append("the line recorded: " + kept)
    check(not missed, "keys typed after pauses were not read:\n  " + "\n  ".join(missed))
    log = s.logs()
    check("".join(typed) in log.replace("\r", "").replace("\n", ""),
          "the typed keys are missing from the log:\n" + log)


SCENARIOS = {
    "single_keys": scenario_single_keys,
}


if __name__ == "__main__":
    sys.exit(run_on_pulse_line(SCENARIOS))
