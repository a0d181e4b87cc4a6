#include "core/sqlite/cell_payload.h"

#include <algorithm>

#include "core/common/result_codes.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// The local part of a payload when at most `maxLocal` bytes stay whole on
// the page (cell_payload.h).
std::size_t LocalPart(std::uint64_t payloadSize, std::uint32_t usableSize, std::uint64_t maxLocal) {
  if (payloadSize <= maxLocal) return static_cast<std::size_t>(payloadSize);
  const std::uint64_t minLocal = (std::uint64_t{usableSize} - 12) * 32 / 255 - 23;
  const std::uint64_t local = minLocal + (payloadSize - minLocal) % (usableSize - fmt::kOverflowPageHeaderSize);
  return static_cast<std::size_t>(local <= maxLocal ? local : minLocal);
}

// Fills `out` from the payload-size varint at `sizeOffset`, the payload
// starting at `payloadOffset` (`out->rowId` is left to the caller).
std::error_code ReadPayload(const SqliteReader& reader, Bytes page, std::size_t cellOffset, std::size_t payloadOffset,
                            std::uint64_t payloadSize, std::size_t localSize, CellPayload* out) {
  const bool spills = localSize < payloadSize;
  const std::size_t pointerSize = spills ? fmt::kOverflowPointerSize : 0;
  if (!HasBytes(page, payloadOffset, localSize + pointerSize)) return kBadFile;  // cell runs past the page
  out->payloadSize = payloadSize;
  out->cellSize = payloadOffset + localSize + pointerSize - cellOffset;
  const Bytes local = page.subspan(payloadOffset, localSize);
  if (!spills) {
    out->bytes = local;
    return {};
  }
  // In range: HasBytes above covered the pointer.
  const std::uint32_t firstOverflow = *Read32(page, payloadOffset + localSize);
  if (const std::error_code rc = ReassembleOverflow(reader, local, firstOverflow, payloadSize, &out->joined); rc)
    return rc;
  out->bytes = out->joined;
  return {};
}

void Clear(CellPayload* out) {
  out->rowId = out->payloadSize = 0;
  out->cellSize = 0;
  out->bytes = {};
  out->joined.clear();
}

}  // namespace

std::size_t LocalPayloadSize(std::uint64_t payloadSize, std::uint32_t usableSize) {
  return LocalPart(payloadSize, usableSize, usableSize - 35);
}

std::size_t IndexLocalPayloadSize(std::uint64_t payloadSize, std::uint32_t usableSize) {
  return LocalPart(payloadSize, usableSize, (std::uint64_t{usableSize} - 12) * 64 / 255 - 23);
}

std::error_code ReadIndexCell(const SqliteReader& reader, Bytes page, std::size_t cellOffset, bool interior,
                              CellPayload* out) {
  Clear(out);
  const std::size_t sizeOffset = cellOffset + (interior ? fmt::kChildPointerSize : 0);
  const Varint payloadSize = ReadVarint(page, sizeOffset, fmt::kMaxVarintSize);
  if (payloadSize.size == 0) return kBadFile;
  if (payloadSize.value > reader.FileSize()) return kBadFile;
  return ReadPayload(reader, page, cellOffset, sizeOffset + payloadSize.size, payloadSize.value,
                     IndexLocalPayloadSize(payloadSize.value, reader.UsableSize()), out);
}

std::error_code ReadTableLeafCell(const SqliteReader& reader, Bytes page, std::size_t cellOffset, CellPayload* out) {
  Clear(out);
  const Varint payloadSize = ReadVarint(page, cellOffset, fmt::kMaxVarintSize);
  const Varint rowId = ReadVarint(page, cellOffset + payloadSize.size, fmt::kMaxVarintSize);
  if (payloadSize.size == 0 || rowId.size == 0) return kBadFile;  // cell starts at the page end
  if (payloadSize.value > reader.FileSize()) return kBadFile;    // larger than the whole file
  const std::size_t payloadOffset = cellOffset + payloadSize.size + rowId.size;
  const std::error_code rc = ReadPayload(reader, page, cellOffset, payloadOffset, payloadSize.value,
                                         LocalPayloadSize(payloadSize.value, reader.UsableSize()), out);
  if (!rc) out->rowId = rowId.value;
  return rc;
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
