#!/bin/sh
# CPU share of the real quelto while idle and listening, and its resident
# memory after start-up. Runs it under its own Xvfb with a fresh settings
# folder, listening in real time to a private PulseAudio daemon's silent
# null sink (the file-plugin test line of the end-to-end tests feeds input
# faster than real time, which would measure the demodulator flat out).
# The server hands a recording over in pieces as small as the lowest latency
# any client of the source asks for; the line's monitor is also recorded by
# a 20 ms loopback. With "own" the program listens instead to a microphone
# that only it records, as a phone adapter's usually is.
# Usage: bench/ui/quelto_idle_bench.sh build/app/quelto [seconds] [own]
set -eu
QUELTO=$(realpath "$1")
IDLE=${2:-60}
SOURCE=line.monitor
[ "${3:-}" = own ] && SOURCE=own_mic
WORK=$(mktemp -d)
QPID= XPID= PPID_PA=
trap 'for p in $QPID $XPID $PPID_PA; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/config" "$WORK/runtime" "$WORK/home"
chmod 700 "$WORK/runtime"
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"

cat > "$WORK/line.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=line
load-module module-null-sink sink_name=keeper
load-module module-null-sink sink_name=own_feed
load-module module-remap-source source_name=own_mic master=own_feed.monitor
set-default-sink keeper
set-default-source $SOURCE
load-module module-loopback source=line.monitor sink=keeper latency_msec=20
PA
pulseaudio -n -F "$WORK/line.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  --realtime=no --high-priority=no >/dev/null 2>&1 &
PPID_PA=$!
export PULSE_SERVER="unix:$WORK/runtime/pulse/native"
export PULSE_COOKIE="$WORK/home/.config/pulse/cookie"
i=0
until pactl info >/dev/null 2>&1; do i=$((i + 1)); [ $i -lt 100 ] || exit 1; sleep 0.1; done
sleep 2.2

exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XPID=$!
while [ ! -s "$WORK/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$WORK/display")"

"$QUELTO" >/dev/null 2>&1 &
QPID=$!
sleep 3
RSS=$(awk '/VmRSS/ {print $2}' /proc/$QPID/status)
ticks() { awk '{print $14 + $15}' /proc/$QPID/stat; }
uiticks() { awk '{print $14 + $15}' /proc/$QPID/task/$QPID/stat; }
T0=$(ticks); U0=$(uiticks)
sleep "$IDLE"
T1=$(ticks); U1=$(uiticks)
HZ=$(getconf CLK_TCK)
echo "resident memory after start-up: $((RSS / 1024)) MB ($RSS kB)"
awk -v d=$((T1 - T0)) -v u=$((U1 - U0)) -v hz="$HZ" -v s="$IDLE" -v src="$SOURCE" 'BEGIN {
  printf "CPU while idle and listening to %s for %d s: %.2f%% of one core (user-interface thread %.2f%%)\n",
         src, s, 100 * d / hz / s, 100 * u / hz / s }'
