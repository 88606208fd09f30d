#!/usr/bin/env bash
# Sets up, builds and starts Norvale Download. With no real meter on "Comm1" (no /dev/ttyUSB0
# and no com1 link of your own beside the program), the built-in simulated meter stands in on
# "Comm1". Without a display, the same download runs headless with norvale-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh default
bin="$root/build/default"
folder="$bin"   # the settings folder: the program's own, which the build marks "portable"

sim_pid=""
modem_pid=""
demo_link=""
modem_link=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
  if [ -n "$modem_pid" ]; then kill "$modem_pid" 2>/dev/null || true; fi
  if [ -n "$demo_link" ]; then rm -f "$demo_link"; fi
  if [ -n "$modem_link" ]; then rm -f "$modem_link"; fi
}
trap cleanup EXIT

# Starts a simulator (tools/$1) on the demo scenario; its device path goes to $started and its
# process id to $started_pid.
start_simulator() {
  local out
  out=$(mktemp)
  python3 "tools/$1" --scenario tools/scenarios/demo.json >"$out" &
  started_pid=$!
  started=""
  for _ in $(seq 100); do
    started=$(head -n 1 "$out")
    [ -n "$started" ] && break
    sleep 0.05
  done
  rm -f "$out"
  [ -n "$started" ] || { echo "The simulator $1 did not start." >&2; exit 1; }
}

start_demo_meter() {
  start_simulator meter_sim.py
  device=$started
  sim_pid=$started_pid
  echo "Demo meter (simulator) on $device"
}

# The settings' factory database path, "c:\Palm\UserName\Backup\DBFLW2.pdb", names a file in the
# settings folder on this system: a sample database there makes "Use Palm DataBase" work at once.
sample_database="$folder/c:\\Palm\\UserName\\Backup\\DBFLW2.pdb"
if [ ! -e "$sample_database" ]; then
  python3 tools/handheld_db.py --scenario tools/scenarios/demo_handheld.json \
    --output "$sample_database" 2>/dev/null
fi

if [ -e /dev/ttyUSB0 ] || { [ -L "$folder/com1" ] && [ -e "$folder/com1" ]; }; then
  echo "Using the real meter on Comm1."
  device=$(readlink -f "$folder/com1" 2>/dev/null || echo /dev/ttyUSB0)
else
  start_demo_meter
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    demo_link="$folder/com1"
    ln -sfn "$device" "$demo_link"
  fi
fi

# A simulated Hayes modem with the demo meter behind it on "Comm2", for the Dialer tab.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ ! -e "$folder/com2" ]; then
  start_simulator modem_sim.py
  modem_pid=$started_pid
  modem_link="$folder/com2"
  ln -sfn "$started" "$modem_link"
  echo "Demo modem (simulator) on $started as Comm2: choose Comm2, then dial any number."
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the window: press \"Download Data\" to read the meter into the View tab and Logdata.csv."
  echo "Tick \"Use Palm DataBase\", press \"Get ID List...\" and pick a meter to import the sample"
  echo "handheld database instead."
  "$bin/norvale-download"
else
  echo "No display found (DISPLAY is not set): running the download headless instead." >&2
  out="$folder/Logdata.csv"
  "$bin/norvale-cli" download --device "$device" --output "$out"
  echo "The log went to $out"
fi
