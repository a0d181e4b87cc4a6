// libFuzzer entry for the page reader and the recovery engine: every input
// is taken as a database file and fed through the reader, all decoders and
// the row dumps, and, split at its markers into a database, a -wal and a
// -journal, through the engine (fuzz_driver.cpp under tests/core/apps/).
// Built by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>

#include "fuzz_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)scrivel::apps::testing::RunReaderOnBytes(data, size);
  (void)scrivel::apps::testing::RunEngineOnBytes(data, size);
  return 0;
}
