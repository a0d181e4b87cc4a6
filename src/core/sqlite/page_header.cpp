#include "core/sqlite/page_header.h"

#include <algorithm>

#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

bool PageHeader::IsTableLeaf() const { return type == fmt::kTableLeafPage; }

bool PageHeader::IsTableInterior() const { return type == fmt::kTableInteriorPage; }

bool PageHeader::IsInterior() const { return type == fmt::kTableInteriorPage || type == fmt::kIndexInteriorPage; }

std::size_t PageHeader::CellPointerArrayEnd() const {
  return cellPointerArrayOffset + cellCount * fmt::kCellPointerSize;
}

namespace {

// The cell-content-start field stores 65536 as 0 (a 64 KiB page whose
// content area is empty).
std::size_t CellContentStartFromField(std::uint16_t field) {
  return field == 0 ? fmt::kMaxPageSize : field;
}

}  // namespace

std::optional<PageHeader> ReadPageHeader(Bytes page, std::size_t headerOffset) {
  if (!HasBytes(page, headerOffset, fmt::kLeafPageHeaderSize)) return std::nullopt;
  PageHeader header;
  header.headerOffset = headerOffset;
  header.type = page[headerOffset + fmt::kPageTypeOffset];
  header.firstFreeBlock = *Read16(page, headerOffset + fmt::kFirstFreeBlockOffset);
  header.cellContentStart = CellContentStartFromField(*Read16(page, headerOffset + fmt::kCellContentStartOffset));
  std::size_t headerSize = fmt::kLeafPageHeaderSize;
  if (header.IsInterior()) {
    const auto rightChild = Read32(page, headerOffset + fmt::kRightChildOffset);
    if (!rightChild) return std::nullopt;
    header.rightChild = *rightChild;
    headerSize = fmt::kInteriorPageHeaderSize;
  }
  header.cellPointerArrayOffset = headerOffset + headerSize;
  const std::size_t storedCount = *Read16(page, headerOffset + fmt::kCellCountOffset);
  const std::size_t room = page.size() > header.cellPointerArrayOffset ? page.size() - header.cellPointerArrayOffset : 0;
  header.cellCount = std::min(storedCount, room / fmt::kCellPointerSize);
  return header;
}

std::size_t PageHeaderOffset(std::uint32_t pageIndex) {
  return pageIndex == 0 ? fmt::kDatabaseHeaderSize : 0;
}

std::vector<std::uint32_t> CellOffsets(Bytes page, const PageHeader& header) {
  std::vector<std::uint32_t> offsets;
  const std::size_t arrayEnd = header.CellPointerArrayEnd();
  const auto usable = [&](std::size_t offset) { return offset >= arrayEnd && offset < page.size(); };
  if (header.cellCount == 1) {
    // A single cell is taken from the content-area start, which a page
    // with one cell always begins with.
    if (usable(header.cellContentStart)) offsets.push_back(static_cast<std::uint32_t>(header.cellContentStart));
    return offsets;
  }
  offsets.reserve(header.cellCount);
  for (std::size_t i = 0; i < header.cellCount; ++i) {
    const std::size_t offset = *Read16(page, header.cellPointerArrayOffset + i * fmt::kCellPointerSize);
    if (usable(offset)) offsets.push_back(static_cast<std::uint32_t>(offset));
  }
  return offsets;
}

}  // namespace scrivel::sqlite
