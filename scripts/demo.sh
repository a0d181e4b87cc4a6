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
