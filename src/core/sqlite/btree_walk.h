// Walks of table b-trees: the children of an interior page, and every leaf
// page below a root. A walk visits each page at most once and goes at most
// kMaxTreeDepth levels deep, so cycles and absurd depths in a corrupt file
// end the walk instead of hanging it.
#pragma once

#include <system_error>

#include <cstdint>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/page_set.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

// Page indexes of the children of a table interior page (left children of
// its cells and the right-most child), ascending and without repeats.
// Children outside the file (page number 0 or beyond the last page) are
// left out.
std::vector<std::uint32_t> ChildPages(Bytes page, const PageHeader& header, std::uint32_t pageCount);

// Adds to `leaves` every table leaf page at or below page index `root`:
// the root itself when it is a leaf, else the leaves below its children,
// visited in ascending page-index order within each interior page. Pages
// of any other type hold nothing for the walk. `visited` holds the pages
// seen by this walk so far and is updated. Returns success, or the code of the
// first page that could not be read (what was found before stays).
[[nodiscard]] std::error_code CollectLeafPages(const SqliteReader& reader, std::uint32_t root, PageSet& visited,
                                   PageSet& leaves);

}  // namespace scrivel::sqlite
