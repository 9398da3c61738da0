#!/bin/sh
# CPU share of the real quelto while idle and listening, and its resident
# memory after start-up. Runs it under its own Xvfb with a fresh settings
# folder and the ALSA file-plugin test line (silence on the input).
# Usage: bench/ui/quelto_idle_bench.sh build/app/quelto [seconds]
set -eu
QUELTO=$(realpath "$1")
SECONDS_IDLE=${2:-60}
HERE=$(dirname "$(realpath "$0")")
WORK=$(mktemp -d)
trap 'kill "$QPID" "$XPID" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/config" "$WORK/runtime" "$WORK/home"
chmod 700 "$WORK/runtime"
head -c 8000000 /dev/zero | tr '\0' '\200' > "$WORK/in.raw"
exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XPID=$!
while [ ! -s "$WORK/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$WORK/display")"
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$HERE/../../tests/e2e/asoundrc"
export QUELTO_LINE_IN="$WORK/in.raw" QUELTO_LINE_OUT="$WORK/out"
"$QUELTO" >/dev/null 2>&1 &
QPID=$!
sleep 3
RSS=$(awk '/VmRSS/ {print $2}' /proc/$QPID/status)
ticks() { awk '{print $14 + $15}' /proc/$QPID/stat; }
T0=$(ticks)
sleep "$SECONDS_IDLE"
T1=$(ticks)
HZ=$(getconf CLK_TCK)
echo "resident memory after start-up: $((RSS / 1024)) MB ($RSS kB)"
awk -v d=$((T1 - T0)) -v hz="$HZ" -v s="$SECONDS_IDLE" \
  'BEGIN { printf "CPU while idle and listening for %d s: %.2f%% of one core\n", s, 100 * d / hz / s }'
