// Scan of the free-block chain of a table leaf page (candidate_scan.h).
#include <optional>

#include "core/sqlite/candidate_scan.h"
#include "core/sqlite/record_size.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Length of the GUID text that opens every "message" row (column 1).
constexpr std::size_t kMessageGuidSize = 36;

bool AllNonZero(Bytes page, std::size_t offset, std::size_t size) {
  if (!HasBytes(page, offset, size)) return false;
  for (std::size_t i = 0; i < size; ++i)
    if (page[offset + i] == 0) return false;
  return true;
}

// The record behind the free block's header read with `columns` serial
// types; it must fit into the block of `blockSize` bytes.
std::optional<FreeBlockMatch> ReadFreeBlockRecord(Bytes page, std::size_t body, std::size_t blockSize,
                                                  std::size_t columns) {
  // When the 4-byte block header covered only the payload size and rowid,
  // the record's header-size varint survives and agrees with the size of
  // the serial types behind it.
  const Varint headerSize = ReadVarint(page, body, page.size() - body);
  const std::size_t typeBytes = SkipVarints(page, body + headerSize.size, columns, page.size());
  const bool headerSizeSurvived = typeBytes != 0 && headerSize.value == headerSize.size + typeBytes;
  const std::size_t start = headerSizeSurvived ? body + headerSize.size : body;

  const std::uint64_t recordSize = RecordSize(page, start, typeBytes, page.size() - body, columns);
  if (recordSize > blockSize || recordSize > page.size() - start) return std::nullopt;
  return FreeBlockMatch{start, start + static_cast<std::size_t>(recordSize), columns};
}

}  // namespace

std::optional<FreeBlockMatch> TestFreeBlock(Bytes page, std::size_t blockOffset, const CandidateRules& rules) {
  const auto blockSize = Read16(page, blockOffset + 2);
  // "size of this block": 0 is no block at all; a block must end inside the page.
  if (!blockSize || *blockSize == 0 || *blockSize > page.size() - blockOffset) return std::nullopt;
  const std::size_t body = blockOffset + fmt::kFreeBlockHeaderSize;
  if (body >= page.size()) return std::nullopt;

  const std::size_t blockEnd = blockOffset + *blockSize;
  const auto match = ReadFreeBlockRecord(page, body, *blockSize, rules.columns);
  if (AcceptsShortRecords(rules) && !(match && match->recordEnd == blockEnd)) {
    // A record of fewer values is taken only when it fills the block
    // exactly and the full count's reading does not.
    for (std::size_t columns = rules.columns - 1; columns >= rules.fewestColumns; --columns) {
      const auto shorter = ReadFreeBlockRecord(page, body, *blockSize, columns);
      if (shorter && shorter->recordEnd == blockEnd) return shorter;
    }
  }
  return match;
}

void ScanFreeBlocks(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list) {
  std::size_t block = header.firstFreeBlock;
  while (block != 0) {
    // "first free block" and every "next free block" must lie behind the
    // pointer array, inside the page, in ascending order (so the walk ends).
    if (block < header.CellPointerArrayEnd() || !HasBytes(page, block, fmt::kFreeBlockHeaderSize)) return;
    if (*Read16(page, block + 2) == 0) return;  // a zero size field ends the chain
    const std::size_t blockEnd = block + *Read16(page, block + 2);
    auto match = TestFreeBlock(page, block, rules);
    // A cell written over the record's tail (and freed since, its block
    // merged with this one) keeps its leading fields inside the record:
    // the record is not whole, the cell is, and the walk goes on from it.
    if (match && match->recordEnd != blockEnd) {
      if (const auto cell = FindIntactCell(page, match->candidate + 1, match->recordEnd, blockEnd, rules)) {
        WalkRecordRun(page, *cell, blockEnd, rules, RowSource::kFreeBlock, list);
        match.reset();
      }
    }
    if (match) {
      bool accepted = true;
      if (rules.requireMessageGuid) {
        const std::size_t typeCount = page[match->candidate] != 0 ? match->columns - 1 : match->columns;
        const std::size_t typeBytes = SkipVarints(page, match->candidate, typeCount, page.size());
        accepted = AllNonZero(page, match->candidate + typeBytes, kMessageGuidSize);
      }
      if (accepted) list.Add(match->candidate, RowSource::kFreeBlock, match->columns);
      // Neighbouring freed cells merge into one block; the records behind
      // the first keep their own leading bytes.
      WalkRecordRun(page, match->recordEnd, blockEnd, rules, RowSource::kFreeBlock, list);
    }
    const std::size_t next = *Read16(page, block);
    if (next != 0 && next <= block) return;  // not ascending: corrupt chain
    block = next;
  }
}

}  // namespace scrivel::sqlite
