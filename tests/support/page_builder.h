// Builds one b-tree page image in the format's own terms (layout in
// core/sqlite/sqlite_format.h), for tests that hand the page reader and the
// free-space carver pages damaged in ways the SQLite library never writes:
// free-block chains that loop, overlap or leave the page, zero sizes,
// pointer arrays that run past the page, truncated pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace scrivel::sqlite::testing {

// One value of a record written by the builder.
struct TestValue {
  std::uint64_t serialType = 0;
  std::vector<std::uint8_t> bytes;

  static TestValue Null();
  static TestValue Integer(std::int64_t value);  // the smallest integer type that holds it (0 and 1: types 8, 9)
  static TestValue Real(double value);
  static TestValue Text(const std::string& text);
  static TestValue Blob(const std::vector<std::uint8_t>& bytes);
};

// A record: header size, serial types, values.
std::vector<std::uint8_t> EncodeRecord(const std::vector<TestValue>& values);
// A table leaf cell holding the whole record: payload size, rowid, record.
std::vector<std::uint8_t> EncodeTableLeafCell(std::int64_t rowId, const std::vector<TestValue>& values);

class PageBuilder {
 public:
  // An empty table leaf page of `pageSize` bytes (zeros), its header at
  // `headerOffset` (100 on page 1); the cell content area starts at the end.
  explicit PageBuilder(std::size_t pageSize, std::size_t headerOffset = 0);

  PageBuilder& SetPageType(std::uint8_t type);
  PageBuilder& SetFirstFreeBlock(std::uint16_t offset);
  PageBuilder& SetCellCount(std::uint16_t count);
  PageBuilder& SetCellContentStart(std::uint16_t offset);
  PageBuilder& SetCellPointer(std::size_t index, std::uint16_t offset);
  // Writes `cell` at `offset` (no pointer is set).
  PageBuilder& PutCell(std::size_t offset, const std::vector<std::uint8_t>& cell);
  // Writes a free-block header (next offset, size) at `offset`: over the
  // first four bytes of a cell, this frees the cell the way the library does.
  PageBuilder& PutFreeBlock(std::size_t offset, std::uint16_t nextOffset, std::uint16_t size);
  PageBuilder& PutBytes(std::size_t offset, const std::vector<std::uint8_t>& bytes);
  // Cuts the page image to `size` bytes.
  PageBuilder& Truncate(std::size_t size);

  std::size_t HeaderOffset() const { return m_headerOffset; }
  const std::vector<std::uint8_t>& Page() const { return m_page; }

 private:
  void Put16(std::size_t offset, std::uint16_t value);

  std::vector<std::uint8_t> m_page;
  std::size_t m_headerOffset;
};

}  // namespace scrivel::sqlite::testing
