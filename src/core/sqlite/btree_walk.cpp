#include "core/sqlite/btree_walk.h"

#include <algorithm>

#include "core/common/result_codes.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

std::vector<std::uint32_t> ChildPages(Bytes page, const PageHeader& header, std::uint32_t pageCount) {
  std::vector<std::uint32_t> children;
  const auto add = [&](std::uint32_t pageNumber) {
    if (pageNumber != 0 && pageNumber <= pageCount) children.push_back(pageNumber - 1);
  };
  for (std::size_t i = 0; i < header.cellCount; ++i) {
    const std::size_t cellOffset = *Read16(page, header.cellPointerArrayOffset + i * fmt::kCellPointerSize);
    if (cellOffset < header.CellPointerArrayEnd()) continue;  // pointer into the header: corrupt
    if (const auto child = Read32(page, cellOffset)) add(*child);
  }
  add(header.rightChild);
  std::sort(children.begin(), children.end());
  children.erase(std::unique(children.begin(), children.end()), children.end());
  return children;
}

namespace {

std::error_code CollectBelow(const SqliteReader& reader, std::uint32_t pageIndex, int depth, PageSet& visited, PageSet& leaves) {
  if (depth > fmt::kMaxTreeDepth || !visited.Insert(pageIndex)) return {};
  // The type byte tells a leaf from an interior page. Leaves, nearly all the
  // pages of a tree, are read whole only when their cells are decoded.
  std::uint8_t type = 0;
  if (const std::error_code rc = reader.ReadPageType(pageIndex, &type); rc) return rc;
  if (type == fmt::kTableLeafPage) {
    leaves.Insert(pageIndex);
    return {};
  }
  if (type != fmt::kTableInteriorPage) return {};
  std::vector<std::uint8_t> page(reader.PageSize());  // one buffer per level
  if (const std::error_code rc = reader.ReadPage(pageIndex, page); rc) return rc;
  const auto header = ReadPageHeader(page, PageHeaderOffset(pageIndex));
  if (!header) return {};
  for (const std::uint32_t child : ChildPages(page, *header, reader.PageCount())) {
    if (const std::error_code rc = CollectBelow(reader, child, depth + 1, visited, leaves); rc) return rc;
  }
  return {};
}

}  // namespace

std::error_code CollectLeafPages(const SqliteReader& reader, std::uint32_t root, PageSet& visited, PageSet& leaves) {
  return CollectBelow(reader, root, 1, visited, leaves);
}

}  // namespace scrivel::sqlite
