#include "core/sqlite/page_map.h"

#include <algorithm>
#include <utility>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/page_read_ahead.h"
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

// Appends the child page numbers of an interior page in cell order, then
// the right-most child. Each cell starts with its 4-byte left child pointer.
void AppendChildrenInOrder(Bytes page, const PageHeader& header, std::vector<std::uint32_t>& children) {
  for (const std::uint32_t cell : CellOffsets(page, header))
    if (const auto child = Read32(page, cell)) children.push_back(*child);
  children.push_back(header.rightChild);
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
  ReadEveryPage(reader);
  for (const TreeRoot& root : roots) Walk(root, damage);
  // Only the walks needed them.
  m_contentRoles = std::vector<PageRole>();
  m_unreadable = std::vector<std::pair<std::uint32_t, std::string>>();
  m_childStart = std::vector<std::uint32_t>();
  m_children = std::vector<std::uint32_t>();
}

void PageMap::ReadEveryPage(const SqliteReader& reader) {
  const std::uint32_t count = reader.PageCount();
  m_contentRoles.assign(count, PageRole::kUnused);
  m_unreadable.clear();
  m_childStart.assign(std::size_t{count} + 1, 0);
  m_children.clear();
  PageReadAhead pages(reader);
  for (std::uint32_t index = 0; index < count; ++index) {
    m_childStart[index] = static_cast<std::uint32_t>(m_children.size());
    Bytes page;
    if (const std::error_code rc = pages.Read(index, &page); rc) {
      m_unreadable.emplace_back(index, "the page cannot be read: " + rc.message());
      continue;
    }
    const auto header = ReadPageHeader(page, PageHeaderOffset(index));
    const PageRole role = header ? RoleOfType(header->type) : PageRole::kUnused;
    m_contentRoles[index] = role;
    if (IsInterior(role)) AppendChildrenInOrder(page, *header, m_children);
  }
  m_childStart[count] = static_cast<std::uint32_t>(m_children.size());
}

void PageMap::Walk(const TreeRoot& root, std::vector<PageDamage>* damage) {
  if (root.owner >= 0 && static_cast<std::size_t>(root.owner) >= m_rowPagesByOwner.size())
    m_rowPagesByOwner.resize(static_cast<std::size_t>(root.owner) + 1);
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
    const auto unreadable = std::lower_bound(m_unreadable.begin(), m_unreadable.end(), index,
                                             [](const auto& entry, std::uint32_t page) { return entry.first < page; });
    if (unreadable != m_unreadable.end() && unreadable->first == index) {
      damage->push_back({pageNumber, unreadable->second});
      continue;
    }
    const PageRole role = m_contentRoles[index];
    if (role == PageRole::kUnused) {
      damage->push_back({pageNumber, "a b-tree points at a page that is not a b-tree page"});
      continue;
    }
    m_roles[index] = role;
    m_owners[index] = root.owner;
    const bool holdsRows = role != PageRole::kTableInterior;
    if (root.owner >= 0 && holdsRows) m_rowPagesByOwner[static_cast<std::size_t>(root.owner)].push_back(index);
    for (std::uint32_t child = m_childStart[index + 1]; child > m_childStart[index]; --child)
      stack.emplace_back(m_children[child - 1], depth + 1);
  }
}

}  // namespace scrivel::sqlite
