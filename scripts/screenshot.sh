#!/usr/bin/env bash
# Renders the desktop application's windows to PNG files for review without
# a display: the main window with each source selected, the assist menu,
# every message box kind, the backup page (empty and filled), the password
# window, a scan in progress, every category's list and preview, the export
# window and the print preview, at 100 % and at 200 % scale ("@2x" files).
# The backups come from the sample builder: a plain one and an encrypted
# copy, in a private application-data folder. The device page is shot in
# three states against the simulated phone of the tests: device support
# missing (no multiplexer), waiting (a multiplexer without devices) and
# connected (one simulated iPhone).
#
# When Xvfb is installed, the application also runs once on a virtual X
# display and a picture of the real window is taken ("xvfb-window.png").
#
# Usage: [SCRIVEL_SCREENSHOT_GENERATION=ios17] scripts/screenshot.sh OUT_DIR
# Uses the build in build/, or the build folder named by SCRIVEL_BUILD.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 OUT_DIR" >&2
  exit 2
fi
out_dir=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SCRIVEL_BUILD:-$root/build}
tool=$build/bin/scrivel-screenshot
for program in "$tool" "$build/bin/make-sample-backup" "$build/bin/encrypt-backup"; do
  if [ ! -x "$program" ]; then
    echo "no $program: build the project first (GUI enabled)" >&2
    exit 1
  fi
done

mkdir -p "$out_dir"
out_dir=$(cd "$out_dir" && pwd)
# A private runtime folder keeps the run apart from a running application;
# a private application-data folder holds the sample backups.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runtime=$work/runtime
mkdir -m 700 "$runtime"
data=$work/data
backups="$data/Apple Computer/MobileSync/Backup"
mkdir -p "$backups"
# SCRIVEL_SCREENSHOT_GENERATION (e.g. ios17) picks the sample's iOS generation.
generation_args=()
if [ -n "${SCRIVEL_SCREENSHOT_GENERATION:-}" ]; then
  generation_args=(--generation "$SCRIVEL_SCREENSHOT_GENERATION")
fi
"$build/bin/make-sample-backup" "$backups/plain" --scale small --seed 1 "${generation_args[@]}" >/dev/null
echo "fixture password" | "$build/bin/encrypt-backup" "$backups/plain" "$backups/locked" >/dev/null

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$runtime
export XDG_DATA_HOME=$data
"$tool" "$out_dir"
QT_SCALE_FACTOR=2 "$tool" "$out_dir" "@2x"

# The device page: the simulated phone plays the multiplexer; it serves
# until its standard input closes.
phone_script=$root/tests/fixtures/simulated_phone/simulated_phone.py
shoot_device_page() {  # NAME [PHONE_ARGUMENTS...]
  local name=$1
  shift
  if [ "$name" = missing ]; then
    USBMUXD_SOCKET_ADDRESS=127.0.0.1:1 "$tool" --device-page "$name" "$out_dir"
    return
  fi
  rm -f "$work/phone.in" "$work/phone.out"
  mkfifo "$work/phone.in"
  python3 "$phone_script" "$@" < "$work/phone.in" > "$work/phone.out" &
  local phone_pid=$!
  exec {phone_input}> "$work/phone.in"
  local port=""
  for _ in $(seq 100); do
    port=$(sed -n 's/^PORT //p' "$work/phone.out")
    [ -n "$port" ] && break
    sleep 0.1
  done
  local status=0
  if [ -n "$port" ]; then
    USBMUXD_SOCKET_ADDRESS=127.0.0.1:$port "$tool" --device-page "$name" "$out_dir" || status=$?
  else
    echo "the simulated phone did not start" >&2
    status=1
  fi
  exec {phone_input}>&-
  wait "$phone_pid" || true
  return $status
}
shoot_device_page missing
shoot_device_page waiting
shoot_device_page connected --device "00008110-000A1B2C3D4E5F60,Anna's iPhone,iPhone,17.4.1,1,paired"

# One run on a real (virtual) X display, when Xvfb is there.
if command -v Xvfb >/dev/null 2>&1 && command -v xwd >/dev/null 2>&1; then
  display=:97
  Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/bin/scrivel" "$backups/plain" >/dev/null 2>&1 &
  app_pid=$!
  sleep 4
  if DISPLAY=$display xwd -root -silent > "$work/screen.xwd" 2>/dev/null && command -v convert >/dev/null 2>&1; then
    convert "$work/screen.xwd" "$out_dir/xvfb-window.png" && echo "$out_dir/xvfb-window.png"
  else
    echo "Xvfb ran the application; install imagemagick to keep a picture of it" >&2
  fi
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
else
  echo "Xvfb is not installed (Debian: xvfb, x11-apps, imagemagick): no run on a virtual display" >&2
fi
