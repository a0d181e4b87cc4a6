#!/usr/bin/env bash
# Builds the libFuzzer target of the SQLite page reader with clang under
# AddressSanitizer + UndefinedBehaviorSanitizer, straight from the sources,
# and runs it on the seed corpus.
#
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
#
# SECONDS defaults to 60. Seeds: tests/fuzz/corpus/ plus small databases made
# with the sqlite3 shell; new inputs go to build-fuzz/corpus/, crashes to
# build-fuzz/crashes/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
out="$root/build-fuzz"
mkdir -p "$out/corpus" "$out/crashes" "$out/seeds"

reader_files=(
  apps/assembly_csv apps/assembly_row_columns apps/contacts_dump apps/messages_dump apps/local_date apps/raw_row_dump
  apps/table_decoders
)
sources=("$root"/src/core/sqlite/*.cpp)
for file in "${reader_files[@]}"; do sources+=("$root/src/core/$file.cpp"); done
sources+=(
  "$root/src/core/common/utf8.cpp"
  "$root/tests/core/apps/fuzz_driver.cpp"
  "$root/tests/fuzz/sqlite_reader_fuzz.cpp"
)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root/src" -I"$root/tests/core/apps" "${sources[@]}" -o "$out/sqlite_reader_fuzz"

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

cd "$out"
nice -n 19 ./sqlite_reader_fuzz -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$out/crashes/" -print_final_stats=1 "$@" "$out/corpus" "$out/seeds" "$root/tests/fuzz/corpus"
