// Constants of the SQLite database file format, shared by the page reader in
// this folder and by the fixture builders under tests/fixtures/ that write
// (or damage) database files for its tests. All multi-byte integers of the
// format are big-endian.
//
// A database file is a sequence of pages of one size. Page numbers count
// from 1 and 0 means "no such page"; page number n starts at byte offset
// (n - 1) * page size. Page 1 opens with the 100-byte database header:
//
//   OFFSET  SIZE  DESCRIPTION
//        0    16  magic text "SQLite format 3" followed by a NUL byte
//       16     2  page size in bytes; the value 1 stands for 65536
//       20     1  reserved bytes at the end of every page
//       32     4  page number of the first freelist trunk page, 0 = none
//
// Every b-tree page (on page 1 after the database header) holds:
//
//   |----------------|
//   | page header    |   8 bytes on leaf pages, 12 on interior pages
//   |----------------|
//   | cell pointer   |   2 bytes per cell, grows downwards (towards the end)
//   | array          |
//   |----------------|
//   | unallocated    |   the "gap"
//   | space          |
//   |----------------|
//   | cell content   |   grows upwards (towards the start); free blocks
//   | area           |   and fragments lie between the cells
//   |----------------|
//   | reserved bytes |
//   |----------------|
//
// Page header:
//
//   OFFSET  SIZE  DESCRIPTION
//        0     1  page type (kTableLeafPage, kTableInteriorPage, index types)
//        1     2  offset of the first free block, 0 = none
//        3     2  number of cells
//        5     2  start of the cell content area; 0 stands for 65536
//        7     1  number of fragmented free bytes
//        8     4  right-most child page number (interior pages only)
//
// A free block: next free block offset (2 bytes, 0 = last), size of this
// block including these 4 bytes (2 bytes), then the old bytes.
//
// A freelist trunk page: next trunk page number (4 bytes, 0 = last), leaf
// count (4 bytes), then that many 4-byte leaf page numbers.
//
// A table leaf cell:
//   payload size: varint
//   rowid: varint
//   payload: the first bytes of the record (how many: cell_payload.h)
//   first overflow page number: 4 bytes, only when the payload spills over
// A table interior cell:
//   left child page number: 4 bytes
//   integer key: varint
// An overflow page: next overflow page number (4 bytes, 0 = last), then
// payload bytes up to the usable end of the page.
//
// A record (the payload):
//   header size: varint, counting itself
//   serial types: one varint per column
//   values: one per column, its length given by its serial type
#pragma once

#include <cstddef>
#include <cstdint>

namespace scrivel::sqlite_format {

// Database header.
inline constexpr char kMagic[] = "SQLite format 3";            // plus its NUL: 16 bytes
inline constexpr std::size_t kMagicSize = 16;
inline constexpr std::size_t kPageSizeOffset = 16;             // 2 bytes
inline constexpr std::size_t kReservedBytesOffset = 20;        // 1 byte
inline constexpr std::size_t kFirstTrunkPageOffset = 32;       // 4 bytes
inline constexpr std::size_t kDatabaseHeaderSize = 100;        // page 1's b-tree header starts here
inline constexpr std::uint32_t kStoredPageSizeFor65536 = 1;    // page-size field value meaning 65536
inline constexpr std::uint32_t kMinPageSize = 512;
inline constexpr std::uint32_t kMaxPageSize = 65536;

// Page types (the only legal values of the page-type byte).
inline constexpr std::uint8_t kIndexInteriorPage = 2;
inline constexpr std::uint8_t kTableInteriorPage = 5;
inline constexpr std::uint8_t kIndexLeafPage = 10;
inline constexpr std::uint8_t kTableLeafPage = 13;

// Page header fields, as offsets from the start of the page header.
inline constexpr std::size_t kPageTypeOffset = 0;              // 1 byte
inline constexpr std::size_t kFirstFreeBlockOffset = 1;        // 2 bytes
inline constexpr std::size_t kCellCountOffset = 3;             // 2 bytes
inline constexpr std::size_t kCellContentStartOffset = 5;      // 2 bytes, 0 = 65536
inline constexpr std::size_t kRightChildOffset = 8;            // 4 bytes, interior pages
inline constexpr std::size_t kLeafPageHeaderSize = 8;          // type 1 + free block 2 + cells 2 + content 2 + fragments 1
inline constexpr std::size_t kInteriorPageHeaderSize = 12;     // leaf header 8 + right-most child 4
inline constexpr std::size_t kCellPointerSize = 2;

// Free blocks: next offset 2 + size 2.
inline constexpr std::size_t kFreeBlockHeaderSize = 4;

// Freelist trunk pages: next trunk 4 + leaf count 4, then 4 per leaf.
inline constexpr std::size_t kTrunkHeaderSize = 8;
inline constexpr std::size_t kTrunkLeafEntrySize = 4;

// Overflow pages: next overflow page number 4, then payload.
inline constexpr std::size_t kOverflowPageHeaderSize = 4;
inline constexpr std::size_t kOverflowPointerSize = 4;         // at the end of a cell's local payload

// Interior table cells: left child 4, then the key varint.
inline constexpr std::size_t kChildPointerSize = 4;

// Varints: at most 9 bytes; the ninth contributes all 8 bits.
inline constexpr std::size_t kMaxVarintSize = 9;

// Serial types of a record header.
inline constexpr std::uint64_t kSerialNull = 0;
inline constexpr std::uint64_t kSerialInt8 = 1;
inline constexpr std::uint64_t kSerialInt16 = 2;
inline constexpr std::uint64_t kSerialInt24 = 3;
inline constexpr std::uint64_t kSerialInt32 = 4;
inline constexpr std::uint64_t kSerialInt48 = 5;
inline constexpr std::uint64_t kSerialInt64 = 6;
inline constexpr std::uint64_t kSerialFloat64 = 7;
inline constexpr std::uint64_t kSerialZero = 8;
inline constexpr std::uint64_t kSerialOne = 9;
inline constexpr std::uint64_t kSerialReserved10 = 10;         // never written by SQLite
inline constexpr std::uint64_t kSerialReserved11 = 11;         // never written by SQLite
inline constexpr std::uint64_t kSerialFirstBlob = 12;          // even >= 12: blob of (t - 12) / 2 bytes
inline constexpr std::uint64_t kSerialFirstText = 13;          // odd >= 13: text of (t - 13) / 2 bytes

// The schema table lives on page 1; its columns are type, name, tbl_name,
// rootpage and sql.
inline constexpr std::uint32_t kSchemaRootPageNumber = 1;
inline constexpr int kSchemaColumnCount = 5;

// Maximum depth of a table b-tree that the walk follows; real trees are a
// few levels deep, deeper ones are corrupt (or cyclic).
inline constexpr int kMaxTreeDepth = 20;

}  // namespace scrivel::sqlite_format
