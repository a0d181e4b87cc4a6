// The b-tree page header (layout in sqlite_format.h): read once per page
// into a PageHeader whose fields are already checked against the page, so
// the cell, free-block and gap walks never re-read or re-check the header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/sqlite/byte_view.h"

namespace scrivel::sqlite {

struct PageHeader {
  std::uint8_t type = 0;                  // page-type byte
  std::size_t headerOffset = 0;           // 100 on page 1, else 0
  std::uint16_t firstFreeBlock = 0;       // offset from page start, 0 = none
  std::size_t cellCount = 0;              // bounded by what the page can hold
  std::size_t cellContentStart = 0;       // offset from page start; a stored 0 reads as 65536
  std::uint32_t rightChild = 0;           // page number, interior pages only
  std::size_t cellPointerArrayOffset = 0; // offset from page start of the first pointer

  bool IsTableLeaf() const;
  bool IsTableInterior() const;
  // A table or index interior page: its header holds the right-most child.
  bool IsInterior() const;
  // One past the last byte of the cell pointer array.
  std::size_t CellPointerArrayEnd() const;
};

// Reads the page header that starts at `headerOffset` of `page`. Nothing
// when the header does not fit in the page. The cell count is cut to the
// number of pointers that fit between the header and the end of the page.
std::optional<PageHeader> ReadPageHeader(Bytes page, std::size_t headerOffset);

// Where the page header of page index `pageIndex` starts: behind the
// database header on the first page, at 0 on every other page.
std::size_t PageHeaderOffset(std::uint32_t pageIndex);

// Offsets (from the page start) of the cells of a page. A page with one
// cell lists the start of its cell content area; otherwise the entries of
// the cell pointer array are listed in array order, leaving out any that
// point into the page header or pointer array or past the end of the page.
std::vector<std::uint32_t> CellOffsets(Bytes page, const PageHeader& header);

}  // namespace scrivel::sqlite
