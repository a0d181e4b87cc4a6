#!/usr/bin/env bash
# Renders the desktop application's windows to PNG files for review without
# a display: the main window with each source selected, the assist menu and
# every message box kind, at 100 % and at 200 % scale ("@2x" files).
#
# Usage: scripts/screenshot.sh OUT_DIR
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
if [ ! -x "$tool" ]; then
  echo "no $tool: build the target scrivel-screenshot first (GUI enabled)" >&2
  exit 1
fi

mkdir -p "$out_dir"
# A private runtime folder keeps the run apart from a running application.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$runtime
"$tool" "$out_dir"
QT_SCALE_FACTOR=2 "$tool" "$out_dir" "@2x"
