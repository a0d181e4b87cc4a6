// What each page of the database's last committed state is: a page of a
// table's or an index's b-tree (and whose), a freelist page, or a page
// nothing points at. Built once per file from the schema's roots and the
// freelist; the search for deleted rows reads it to know which table's
// records a page's free space most likely holds.
//
// Every page is read once, front to back in long runs (page_read_ahead.h),
// for the type its header names and, for an interior page, its children;
// the walks then need no more reads.
//
// The walk follows child pointers in cell order (so a table's leaves come in
// key order), visits each page at most once and goes at most
// sqlite_format::kMaxTreeDepth levels deep: a cycle or a pointer outside the
// file ends that branch and is noted as damage.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

enum class PageRole : std::uint8_t {
  kUnused,         // reached by no b-tree and not on the freelist (or unreadable)
  kTableLeaf,
  kTableInterior,
  kIndexLeaf,      // also the leaves of WITHOUT ROWID tables
  kIndexInterior,
  kFreelistLeaf,
  kFreelistTrunk,
};

// One b-tree to map: a table's (owner = its index in the caller's table
// list) or an index's (owner = -1).
struct TreeRoot {
  std::uint32_t rootPage = 0;  // page number
  int owner = -1;
};

struct PageDamage {
  std::uint32_t pageNumber = 0;
  std::string reason;
};

class PageMap {
 public:
  // Walks every tree of `roots` and marks the freelist pages of `reader`.
  // A page claimed by two trees keeps the first. Problems found on the way
  // are appended to `damage`.
  void Build(const SqliteReader& reader, const std::vector<TreeRoot>& roots, std::vector<PageDamage>* damage);

  PageRole Role(std::uint32_t pageIndex) const {
    return pageIndex < m_roles.size() ? m_roles[pageIndex] : PageRole::kUnused;
  }
  // The owner of a b-tree page (TreeRoot::owner), -1 for others.
  int Owner(std::uint32_t pageIndex) const { return pageIndex < m_owners.size() ? m_owners[pageIndex] : -1; }
  // The pages of the tree of `owner` that hold its rows, in walk order
  // (page indexes): the leaves of a table b-tree in key order; every page
  // of an index-type tree (a WITHOUT ROWID table keeps rows in its
  // interior cells too).
  const std::vector<std::uint32_t>& RowPagesOf(int owner) const;
  std::uint32_t PageCount() const { return static_cast<std::uint32_t>(m_roles.size()); }

 private:
  // What a page's own header says it is, with the reason it cannot be read.
  struct PageContent {
    PageRole role = PageRole::kUnused;  // a b-tree role, or kUnused for anything else
    std::string unreadable;             // why the page cannot be read; empty when it can
  };
  void ReadEveryPage(const SqliteReader& reader);
  void Walk(const TreeRoot& root, std::vector<PageDamage>* damage);

  // Filled by ReadEveryPage, for the walks: the b-tree role each page's
  // header names, the pages that cannot be read, and the children of the
  // interior pages in cell order (those of page i are
  // m_children[m_childStart[i] .. m_childStart[i + 1])).
  std::vector<PageRole> m_contentRoles;
  std::vector<std::pair<std::uint32_t, std::string>> m_unreadable;
  std::vector<std::uint32_t> m_childStart;
  std::vector<std::uint32_t> m_children;

  std::vector<PageRole> m_roles;  // by page index
  std::vector<int> m_owners;      // by page index
  std::vector<std::vector<std::uint32_t>> m_rowPagesByOwner;
};

}  // namespace scrivel::sqlite
