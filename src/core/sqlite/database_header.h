// The two checks of the 100-byte database header (layout in
// sqlite_format.h) that decide whether a file can be read as a database at
// all: the magic text and the page-size field. Shared by the page reader
// (sqlite_reader.h) and the descriptions of unreadable files
// (file_problems.h).
#pragma once

#include <cstdint>

#include "core/sqlite/byte_view.h"

namespace scrivel::sqlite {

// True when `header` starts with the magic text "SQLite format 3" and its
// NUL, letter case ignored.
bool HasSqliteMagic(Bytes header);

// The page size the page-size field stands for: the size in bytes, except
// that 65536 does not fit in two bytes and is stored as 1. Returns 0 for an
// illegal size (not a power of two from 512 to 65536).
std::uint32_t PageSizeFromField(std::uint16_t field);

}  // namespace scrivel::sqlite
