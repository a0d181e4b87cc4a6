#include "core/sqlite/page_map.h"

#include <utility>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

PageRole RoleOfType(std::uint8_t type) {
  switch (type) {
    case fmt::kTableLeafPage: return PageRole::kTableLeaf;
    case fmt::kTableInteriorPage: return PageRole::kTableInterior;
    case fmt::kIndexLeafPage: return PageRole::kIndexLeaf;
    case fmt::kIndexInteriorPage: return PageRole::kIndexInterior;
    default: return PageRole::kUnused;
  }
}

bool IsInterior(PageRole role) { return role == PageRole::kTableInterior || role == PageRole::kIndexInterior; }

// Child page numbers of an interior page in cell order, then the right-most
// child. Each cell starts with its 4-byte left child pointer.
std::vector<std::uint32_t> ChildrenInOrder(Bytes page, const PageHeader& header) {
  std::vector<std::uint32_t> children;
  for (const std::uint32_t cell : CellOffsets(page, header))
    if (const auto child = Read32(page, cell)) children.push_back(*child);
  children.push_back(header.rightChild);
  return children;
}

}  // namespace

const std::vector<std::uint32_t>& PageMap::RowPagesOf(int owner) const {
  static const std::vector<std::uint32_t> kNone;
  if (owner < 0 || static_cast<std::size_t>(owner) >= m_rowPagesByOwner.size()) return kNone;
  return m_rowPagesByOwner[static_cast<std::size_t>(owner)];
}

void PageMap::Build(const SqliteReader& reader, const std::vector<TreeRoot>& roots, std::vector<PageDamage>* damage) {
  m_roles.assign(reader.PageCount(), PageRole::kUnused);
  m_owners.assign(reader.PageCount(), -1);
  m_rowPagesByOwner.clear();
  for (const std::uint32_t page : reader.FreePages())
    if (page < m_roles.size()) m_roles[page] = PageRole::kFreelistLeaf;
  for (const std::uint32_t page : reader.FreeTrunkPages())
    if (page < m_roles.size()) m_roles[page] = PageRole::kFreelistTrunk;
  for (const TreeRoot& root : roots) Walk(reader, root, damage);
}

void PageMap::Walk(const SqliteReader& reader, const TreeRoot& root, std::vector<PageDamage>* damage) {
  if (root.owner >= 0 && static_cast<std::size_t>(root.owner) >= m_rowPagesByOwner.size())
    m_rowPagesByOwner.resize(static_cast<std::size_t>(root.owner) + 1);
  std::vector<std::uint8_t> page(reader.PageSize());
  // Depth-first in cell order: the stack holds (page number, depth), the
  // children of a page pushed in reverse so that the left-most comes first.
  std::vector<std::pair<std::uint32_t, int>> stack{{root.rootPage, 1}};
  while (!stack.empty()) {
    const auto [pageNumber, depth] = stack.back();
    stack.pop_back();
    if (pageNumber == 0 || pageNumber > m_roles.size()) {
      damage->push_back({pageNumber, "a b-tree points outside the file"});
      continue;
    }
    const std::uint32_t index = pageNumber - 1;
    if (m_roles[index] != PageRole::kUnused) {
      damage->push_back({pageNumber, "a page is reached twice (a loop in a b-tree, or on the freelist and in use)"});
      continue;
    }
    if (depth > fmt::kMaxTreeDepth) {
      damage->push_back({pageNumber, "a b-tree is deeper than any real one"});
      continue;
    }
    if (const std::error_code rc = reader.ReadPage(index, page); rc) {
      damage->push_back({pageNumber, "the page cannot be read: " + rc.message()});
      continue;
    }
    const auto header = ReadPageHeader(page, PageHeaderOffset(index));
    const PageRole role = header ? RoleOfType(header->type) : PageRole::kUnused;
    if (role == PageRole::kUnused) {
      damage->push_back({pageNumber, "a b-tree points at a page that is not a b-tree page"});
      continue;
    }
    m_roles[index] = role;
    m_owners[index] = root.owner;
    const bool holdsRows = role != PageRole::kTableInterior;
    if (root.owner >= 0 && holdsRows) m_rowPagesByOwner[static_cast<std::size_t>(root.owner)].push_back(index);
    if (!IsInterior(role)) continue;
    const std::vector<std::uint32_t> children = ChildrenInOrder(page, *header);
    for (auto child = children.rbegin(); child != children.rend(); ++child) stack.emplace_back(*child, depth + 1);
  }
}

}  // namespace scrivel::sqlite
