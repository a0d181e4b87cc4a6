// Writes a record in the format's own layout (record.h) from the values a
// carver recovered, so that a rebuilt record reads like a live one:
//
//   header size: varint, counting itself
//   serial types: one varint per value
//   values: in column order
//
// A value that was lost is written as NULL (serial type 0, no bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/sqlite/record.h"

namespace scrivel::sqlite {

// Bytes the varint encoding of `value` takes (1 to 9).
std::size_t VarintSize(std::uint64_t value);

// Appends the varint encoding of `value` to `out`.
void AppendVarint(std::uint64_t value, std::vector<std::uint8_t>* out);

// Replaces `*out` with the record holding `columns` in order. Each value's
// byte count must match its serial type (record.h's SerialTypeValueSize).
void BuildNormalizedRecord(std::span<const ColumnValue> columns, std::vector<std::uint8_t>* out);

}  // namespace scrivel::sqlite
