#!/usr/bin/env bash
# Sets up the machine, builds the program and runs the main job on the
# bundled sample backup.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
bin="$root/build/bin"
"$bin/scrivel-cli" --version
"$bin/scrivel-cli" --help

# The small sample backup (modern layout) that the main job runs on, built
# afresh from its fixed seed, with its ground-truth.json beside the payloads.
sample="$root/build/sample-backup"
rm -rf "$sample"
"$bin/make-sample-backup" "$sample" --layout modern --scale small --seed 1
echo "Sample backup in $sample:"
ls -l "$sample"/*.plist "$sample"/Manifest.db "$sample"/ground-truth.json
echo "$(find "$sample" -mindepth 2 -type f | wc -l) stored files, $(du -sh "$sample" | cut -f1) in all"

# What a scan of the sample finds, per category (live and deleted records).
"$bin/scrivel-cli" scan "$sample"

# The main job: scan the sample and export everything it holds (pages, text
# and CSV files, copies of the media, records.json per category) into a
# folder; scrivel-cli prints the index page to open.
export_dir="$root/build/sample-export"
rm -rf "$export_dir"
"$bin/scrivel-cli" export "$sample" "$export_dir" --json

# The desktop application on the same sample, when there is a display to
# show it on.
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the desktop application on the sample backup (close its window to end)..."
  "$bin/scrivel" "$sample"
else
  echo
  echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop application"
  echo "is not opened. On a machine with a desktop, run:"
  echo "  $bin/scrivel $sample            # the sample on the backup page"
  echo "  $bin/scrivel --scan $sample     # and its scan started at once"
  echo "Pictures of every window, made without a display: scripts/screenshot.sh OUT_DIR"
fi
