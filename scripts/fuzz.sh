#!/usr/bin/env bash
# Builds the libFuzzer target of the SQLite engine and the app decoders on it
# with clang under AddressSanitizer + UndefinedBehaviorSanitizer, straight
# from the sources (src/core/sqlite, src/core/apps and the common helpers
# they use, the note body classes made by protoc), and runs it on the seeds.
#
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
#
# SECONDS defaults to 60. Seeds: tests/fuzz/corpus/ plus small databases made
# with the sqlite3 shell; new inputs go to build-fuzz/corpus/, crashes to
# build-fuzz/crashes/. Objects are compiled through ccache when it is there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
out="$root/build-fuzz"
mkdir -p "$out/corpus" "$out/crashes" "$out/seeds" "$out/obj" "$out/generated/core"

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is needed (libFuzzer comes with clang)" >&2
  exit 1
fi
compiler=(clang++)
command -v ccache >/dev/null && compiler=(ccache clang++)
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
       -I"$root/src" -I"$root/tests/core/apps" -I"$out/generated")

# The note body format of the notes store.
protoc --proto_path="$root/src/core" --cpp_out="$out/generated/core" "$root/src/core/apps/note_store_body.proto"

proto_source="$out/generated/core/apps/note_store_body.pb.cc"
library_sources=("$root"/src/core/sqlite/*.cpp "$root"/src/core/apps/*.cpp "$root"/src/core/common/*.cpp "$proto_source")
driver_sources=("$root/tests/core/apps/fuzz_driver.cpp" "$root/tests/fuzz/sqlite_reader_fuzz.cpp")

# One object per source, named after its path, two compilations at a time.
object_of() { local rel="${1#"$root"/}"; rel="${rel#"$out"/}"; echo "$out/obj/${rel//\//_}.o"; }
rm -f "$out/compile-failed"
for source in "${library_sources[@]}" "${driver_sources[@]}"; do
  extra=()
  [[ "$source" == "$proto_source" ]] && extra=(-I"$out/generated/core")  # protoc's include of its own header
  { "${compiler[@]}" "${flags[@]}" "${extra[@]}" -c "$source" -o "$(object_of "$source")" ||
      touch "$out/compile-failed"; } &
  while (( $(jobs -rp | wc -l) >= 2 )); do wait -n || true; done
done
wait
if [[ -e "$out/compile-failed" ]]; then
  echo "fuzz.sh: a source did not compile" >&2
  exit 1
fi

library_objects=()
for source in "${library_sources[@]}"; do library_objects+=("$(object_of "$source")"); done
rm -f "$out/libfuzzed.a"
ar rcs "$out/libfuzzed.a" "${library_objects[@]}"
driver_objects=()
for source in "${driver_sources[@]}"; do driver_objects+=("$(object_of "$source")"); done
clang++ -fsanitize=fuzzer,address,undefined "${driver_objects[@]}" "$out/libfuzzed.a" \
  -lsqlite3 -lprotobuf-lite -lz -lcrypto -lplist-2.0 -lpthread -o "$out/sqlite_reader_fuzz"

# Seeds: a few small databases with live and deleted rows.
make_seed() {
  local name="$1" page_size="$2" sql="$3"
  rm -f "$out/seeds/$name.db"
  sqlite3 "$out/seeds/$name.db" "PRAGMA page_size=$page_size; PRAGMA secure_delete=OFF; $sql"
}
make_seed message 512 "CREATE TABLE message(ROWID INTEGER PRIMARY KEY, guid TEXT, text TEXT, a, b, handle_id INTEGER);
  WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<40)
  INSERT INTO message(guid, text, handle_id) SELECT printf('%036d', x), 'text ' || x, x % 3 FROM c;
  DELETE FROM message WHERE ROWID % 3 = 0;"
make_seed freelist 512 "CREATE TABLE handle(ROWID INTEGER PRIMARY KEY, id TEXT, country TEXT, service TEXT, u TEXT);
  WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<120)
  INSERT INTO handle(id, service) SELECT '+1555' || x, 'SMS' FROM c; DELETE FROM handle WHERE ROWID > 20;"
make_seed tables 512 "CREATE TABLE a(x INTEGER PRIMARY KEY, y TEXT); CREATE INDEX ay ON a(y);
  CREATE TABLE call(ROWID INTEGER PRIMARY KEY, address TEXT, date INTEGER, duration INTEGER, flags INTEGER, id INTEGER,
    name TEXT, country_code TEXT, network_code TEXT, read INTEGER, assisted INTEGER, face_time_data BLOB, originalAddress TEXT);
  INSERT INTO call(address, date, duration, flags) VALUES ('+15550001', 1400000000, 12, 0), ('+15550002', 1400000100, 0, 1);
  INSERT INTO a(y) VALUES (zeroblob(900)), ('short'); DELETE FROM call WHERE ROWID = 1;"
# A database with its -wal (copied before the connection closes and
# checkpoints) and the -journal of a transaction (copied before its commit),
# joined with the markers at which the driver splits its input
# (tests/core/apps/fuzz_driver.h).
python3 - "$out/seeds/wal-and-journal.db" <<'PYTHON'
import os, sqlite3, sys, tempfile
folder = tempfile.mkdtemp()
path = os.path.join(folder, "seed.db")
db = sqlite3.connect(path, isolation_level=None)
db.executescript("""PRAGMA page_size = 512; PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;
  CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER);
  WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<40)
  INSERT INTO t(name, n) SELECT printf('name %d %.*c', x, x, 'w'), x * 1000 FROM c;
  DELETE FROM t WHERE id % 3 = 0;""")
seed = open(path, "rb").read() + b"\n--wal--\n" + open(path + "-wal", "rb").read()
db.close()
db = sqlite3.connect(path, isolation_level=None)
db.executescript("PRAGMA journal_mode = DELETE; BEGIN; DELETE FROM t WHERE id % 2 = 0;")
seed += b"\n--journal--\n" + open(path + "-journal", "rb").read()
db.execute("COMMIT")
db.close()
open(sys.argv[1], "wb").write(seed)
PYTHON

cd "$out"
nice -n 19 ./sqlite_reader_fuzz -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$out/crashes/" -print_final_stats=1 "$@" "$out/corpus" "$out/seeds" "$root/tests/fuzz/corpus"
