// Feeds arbitrary bytes, taken as a database file, through everything the
// recovery engine offers: opening, the schema, every table's rows and the
// records that fit no table, every typed decoder, the two raw row dumps and the notes store with its
// note bodies. Shared by the libFuzzer target (tests/fuzz/) and the
// replay test, which run exactly the same code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scrivel::apps::testing {

// Returns the number of records produced (so the work cannot be optimised away).
std::size_t RunReaderOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace scrivel::apps::testing
