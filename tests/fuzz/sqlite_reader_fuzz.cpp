// libFuzzer entry for the page reader: every input is taken as a database
// file and fed through the reader, all decoders and the row dumps
// (fuzz_driver.cpp under tests/core/apps/). Built by
// scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>

#include "fuzz_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)scrivel::apps::testing::RunReaderOnBytes(data, size);
  return 0;
}
