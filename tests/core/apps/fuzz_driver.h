// Feeds arbitrary bytes, taken as a database file, through everything that
// reads database files: the recovery engine (opening, the schema, every
// table's rows, the records that fit no table) with every typed decoder, the
// two raw row dumps and the notes store with its note bodies; and the engine
// alone with a write-ahead log and a rollback journal beside the file.
// Shared by the libFuzzer target (tests/fuzz/) and the
// replay test, which run exactly the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace scrivel::apps::testing {

// Returns the number of records produced (so the work cannot be optimised away).
std::size_t RunReaderOnBytes(const std::uint8_t* data, std::size_t size);

// What separates the database from its -wal and the -wal from its -journal
// in the input of RunEngineOnBytes.
inline constexpr std::string_view kWalMarker = "\n--wal--\n";
inline constexpr std::string_view kJournalMarker = "\n--journal--\n";

// The bytes up to kWalMarker (or all of them) as a database file, the bytes
// between kWalMarker and kJournalMarker as its -wal, and those after
// kJournalMarker as its -journal, each written only when its marker is
// there; then every table, the lost and found and the damage list of the
// recovery engine. Returns the number of rows plus damaged pages.
std::size_t RunEngineOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace scrivel::apps::testing
