#include "core/sqlite/cell_payload.h"

#include <algorithm>

#include "core/common/result_codes.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

std::size_t LocalPayloadSize(std::uint64_t payloadSize, std::uint32_t usableSize) {
  const std::uint64_t maxLocal = usableSize - 35;
  if (payloadSize <= maxLocal) return static_cast<std::size_t>(payloadSize);
  const std::uint64_t minLocal = (std::uint64_t{usableSize} - 12) * 32 / 255 - 23;
  const std::uint64_t local = minLocal + (payloadSize - minLocal) % (usableSize - fmt::kOverflowPageHeaderSize);
  return static_cast<std::size_t>(local <= maxLocal ? local : minLocal);
}

std::error_code ReadTableLeafCell(const SqliteReader& reader, Bytes page, std::size_t cellOffset, CellPayload* out) {
  out->rowId = out->payloadSize = 0;
  out->cellSize = 0;
  out->bytes = {};
  out->joined.clear();

  const Varint payloadSize = ReadVarint(page, cellOffset, fmt::kMaxVarintSize);
  const Varint rowId = ReadVarint(page, cellOffset + payloadSize.size, fmt::kMaxVarintSize);
  if (payloadSize.size == 0 || rowId.size == 0) return kBadFile;  // cell starts at the page end
  if (payloadSize.value > reader.FileSize()) return kBadFile;    // larger than the whole file
  const std::size_t payloadOffset = cellOffset + payloadSize.size + rowId.size;
  const std::size_t localSize = LocalPayloadSize(payloadSize.value, reader.UsableSize());
  const bool spills = localSize < payloadSize.value;
  const std::size_t pointerSize = spills ? fmt::kOverflowPointerSize : 0;
  if (!HasBytes(page, payloadOffset, localSize + pointerSize)) return kBadFile;  // cell runs past the page

  out->rowId = rowId.value;
  out->payloadSize = payloadSize.value;
  out->cellSize = payloadOffset + localSize + pointerSize - cellOffset;
  const Bytes local = page.subspan(payloadOffset, localSize);
  if (!spills) {
    out->bytes = local;
    return {};
  }
  const std::uint32_t firstOverflow = *Read32(page, payloadOffset + localSize);
  if (const std::error_code rc = ReassembleOverflow(reader, local, firstOverflow, payloadSize.value, &out->joined); rc)
    return rc;
  out->bytes = out->joined;
  return {};
}

std::error_code ReassembleOverflow(const SqliteReader& reader, Bytes localPart, std::uint32_t firstOverflowPage,
                       std::uint64_t payloadSize, std::vector<std::uint8_t>* joined) {
  joined->clear();
  const std::size_t bytesPerPage = reader.UsableSize() - fmt::kOverflowPageHeaderSize;
  // The spilled part must fit on the pages the file has; this also keeps
  // a corrupt size from growing the buffer beyond the file.
  if (payloadSize < localPart.size() || (payloadSize - localPart.size()) / bytesPerPage >= reader.PageCount())
    return kBadFile;
  joined->assign(localPart.begin(), localPart.end());
  std::vector<std::uint8_t> page(reader.PageSize());
  std::uint32_t next = firstOverflowPage;
  while (joined->size() < payloadSize) {
    if (next == 0 || next > reader.PageCount()) return kBadFile;  // chain ends before the payload does
    if (const std::error_code rc = reader.ReadPage(next - 1, page); rc) return rc;
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(bytesPerPage, payloadSize - joined->size()));
    joined->insert(joined->end(), page.begin() + fmt::kOverflowPageHeaderSize,
                   page.begin() + fmt::kOverflowPageHeaderSize + take);
    next = *Read32(page, 0);
  }
  return {};
}

}  // namespace scrivel::sqlite
