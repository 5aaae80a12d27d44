#!/bin/sh
# Commissions a small room from a script: names, gains, routing, a group, EQ, limiter, then saves the
# result as a preset. Every step exits non-zero unless the unit confirmed it, so the script
# stops at the first change that did not take.
#
#   SONARO_PASSWORD=888888 scripts/commission-example.sh ADDRESS [PORT [BIND [PRESET]]]
#
# SONAROCTL names the program (default: sonaroctl on the PATH); SONARO_DATA_DIR, when set, is
# the data directory sonaroctl uses.
set -eu

if [ $# -lt 1 ]; then
    echo "usage: $0 ADDRESS [PORT [BIND [PRESET]]]" >&2
    exit 2
fi
address=$1
port=${2:-5000}
bind=${3:-}
preset=${4:-room.ini}

ctl() {
    if [ -n "$bind" ]; then
        "${SONAROCTL:-sonaroctl}" --address "$address" --port "$port" --bind "$bind" "$@"
    else
        "${SONAROCTL:-sonaroctl}" --address "$address" --port "$port" "$@"
    fi
}

# Two lectern microphones and a wireless handheld on a line input.
ctl name 1 Lectern-L
ctl name 2 Lectern-R
ctl name 3 Handheld
ctl name output 1 Room
ctl name output 2 Recorder
ctl set input-gain 1 -8
ctl set input-gain 2 -8
ctl set input-mic 3 line
ctl set input-gain 3 -14
ctl set phantom 3 off
ctl set priority 3 on

# The room speakers get every microphone; the recorder only the lectern.
ctl set route 2 3 off

# The two lectern microphones move together.
ctl group set 1 1,2 gain,mute,eq

# Take the rumble out of the lectern microphones and some boom out of the handheld.
ctl set hpf 1 80
ctl set hpf 2 80
ctl set eq 3 2 type peak
ctl set eq 3 2 freq 250
ctl set eq 3 2 gain -4
ctl set eq 3 2 q 1.4
ctl set output-eq 1 4 gain -3

# Keep the room speakers out of trouble.
ctl set limiter 1 threshold -10
ctl set limiter 1 ratio 4:1
ctl set limiter 1 attack 5
ctl set limiter 1 release 100
ctl set limiter 1 enable on

# Automix: two microphones open at most, a short hold.
ctl set max-open 2
ctl set hold-time 500ms

ctl preset save "$preset"
echo "commissioned $address:$port; preset saved to $preset"
