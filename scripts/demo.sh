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
