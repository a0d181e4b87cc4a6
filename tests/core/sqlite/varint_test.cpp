#include "core/sqlite/varint.h"

#include <gtest/gtest.h>

#include <vector>

namespace scrivel::sqlite {
namespace {

struct VarintCase {
  std::vector<std::uint8_t> bytes;
  std::uint64_t value;
  std::size_t size;
};

TEST(VarintTest, DecodesTheFormatExamples) {
  const VarintCase cases[] = {
      {{0x00}, 0, 1},
      {{0x7F}, 127, 1},
      {{0x81, 0x00}, 128, 2},
      {{0xFF, 0x7F}, 16383, 2},
      {{0x81, 0x80, 0x00}, 16384, 3},
      {{0x81, 0x00, 0xAA}, 128, 2},  // bytes behind the value are not read
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ~std::uint64_t{0}, 9},
      {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, 1, 9},  // the ninth byte gives all 8 bits
  };
  for (const VarintCase& c : cases) {
    const Varint v = ReadVarint(c.bytes, 0, 9);
    EXPECT_EQ(v.value, c.value);
    EXPECT_EQ(v.size, c.size);
  }
}

TEST(VarintTest, StopsAtTheLimitAndAtTheBufferEnd) {
  const std::vector<std::uint8_t> bytes = {0x81, 0x82, 0x03};
  struct { std::size_t offset, max; std::uint64_t value; std::size_t size; } cases[] = {
      {0, 3, (1u << 14) | (2u << 7) | 3, 3},
      {0, 2, (1u << 7) | 2, 2},  // the limit comes first: bits so far
      {0, 1, 1, 1},
      {0, 0, 0, 0},               // a limit of 0 reads nothing
      {1, 9, (2u << 7) | 3, 2},   // the buffer end bounds a large limit
      {3, 9, 0, 0},               // offset at the end
      {99, 9, 0, 0},              // offset past the end
  };
  for (const auto& c : cases) {
    const Varint v = ReadVarint(bytes, c.offset, c.max);
    EXPECT_EQ(v.value, c.value) << c.offset << "/" << c.max;
    EXPECT_EQ(v.size, c.size) << c.offset << "/" << c.max;
  }
}

TEST(VarintTest, SkipVarintsFailsWhenTheVarintsRunPastTheEnd) {
  const std::vector<std::uint8_t> bytes = {0x01, 0x81, 0x00, 0x17, 0x81};
  EXPECT_EQ(SkipVarints(bytes, 0, 0, bytes.size()), 0u);
  EXPECT_EQ(SkipVarints(bytes, 0, 1, bytes.size()), 1u);
  EXPECT_EQ(SkipVarints(bytes, 0, 3, bytes.size()), 4u);
  EXPECT_EQ(SkipVarints(bytes, 0, 4, bytes.size()), 0u);  // the last varint is cut off
  EXPECT_EQ(SkipVarints(bytes, 0, 3, 3), 0u);             // `end` comes before the third
  EXPECT_EQ(SkipVarints(bytes, 5, 1, bytes.size()), 0u);
}

}  // namespace
}  // namespace scrivel::sqlite
