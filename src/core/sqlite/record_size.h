// The size of a deleted record whose header-size varint is gone: the bytes
// of its serial types plus the bytes of all its values. The candidate scans
// (candidate_scan.h) use it to test whether a stretch of free space can
// hold a record of the table being searched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/sqlite/byte_view.h"

namespace scrivel::sqlite {

// Size of the record whose serial types start at `offset` of `page`.
// With `columns` > 0 the serial-type area is that many varints (one fewer
// when the byte at `offset` is not 0, see CandidateRecordLayout) and
// `typeBytes` is ignored; with `columns` = 0 the area is `typeBytes` long.
// The walk stops as soon as the total exceeds `limit`, so the result is
// either exact or larger than `limit`. Serial types that run past the page
// give a result larger than `limit`.
std::uint64_t RecordSize(Bytes page, std::size_t offset, std::size_t typeBytes, std::size_t limit, std::size_t columns);

}  // namespace scrivel::sqlite
