// Reads one table leaf cell (layout in sqlite_format.h): its payload size,
// its rowid and its payload, joining the part stored on the page with the
// chain of overflow pages when the payload spills over.
//
// How much of a payload stays on the page follows from the payload size P
// and the usable page size U alone:
//   X = U - 35                          largest payload kept whole on a leaf
//   M = (U - 12) * 32 / 255 - 23        smallest local part of a spilled payload
//   P <= X:  all P bytes are local
//   else:    K = M + (P - M) % (U - 4); local = K when K <= X, else M
// The local part is followed by the 4-byte number of the first overflow
// page; each overflow page holds a 4-byte next-page number and up to U - 4
// payload bytes.
#pragma once

#include <system_error>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

struct CellPayload {
  std::uint64_t rowId = 0;
  std::uint64_t payloadSize = 0;      // as stored in the cell
  std::size_t cellSize = 0;           // bytes the cell occupies on its page
  Bytes bytes;                        // the whole payload; points into the page or into `joined`
  std::vector<std::uint8_t> joined;   // holds the payload when it spilled onto overflow pages
};

// Bytes of a payload of `payloadSize` that a table leaf cell keeps on its page.
std::size_t LocalPayloadSize(std::uint64_t payloadSize, std::uint32_t usableSize);

// The same for an index cell (and a cell of a WITHOUT ROWID table), which
// keeps at most X = (U - 12) * 64 / 255 - 23 bytes whole on its page.
std::size_t IndexLocalPayloadSize(std::uint64_t payloadSize, std::uint32_t usableSize);

// Reads the index cell at `cellOffset` of `page` (behind its 4-byte child
// pointer when `interior`): its payload, joined with its overflow pages;
// rowId stays 0. Returns as ReadTableLeafCell.
[[nodiscard]] std::error_code ReadIndexCell(const SqliteReader& reader, Bytes page, std::size_t cellOffset, bool interior,
                                            CellPayload* out);

// Reads the table leaf cell at `cellOffset` of `page`. `out->bytes` stays
// valid while `page` and `*out` do. Returns success; kBadFile when the cell
// does not fit in the page, when its payload is larger than the file or
// when its overflow chain ends early or leaves the file; the read's code
// when an overflow page cannot be read.
[[nodiscard]] std::error_code ReadTableLeafCell(const SqliteReader& reader, Bytes page, std::size_t cellOffset, CellPayload* out);

// Joins `localPart` with the overflow chain that starts at page number
// `firstOverflowPage` until `payloadSize` bytes are together. The chain is
// never followed further than the payload needs, so a cyclic chain ends.
[[nodiscard]] std::error_code ReassembleOverflow(const SqliteReader& reader, Bytes localPart, std::uint32_t firstOverflowPage,
                                     std::uint64_t payloadSize, std::vector<std::uint8_t>* joined);

}  // namespace scrivel::sqlite
