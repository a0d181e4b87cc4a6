#include "core/sqlite/rollback_journal.h"


#include <algorithm>
#include <array>

#include "core/common/result_codes.h"
#include "core/sqlite/positioned_read.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace jf = journal_format;

namespace {

// Decodes the big-endian 4-byte field at `offset` of `bytes`.
// Precondition: the caller checked that `bytes` holds offset + 4 bytes.
std::uint32_t DecodeField(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
         (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

bool IsPowerOfTwoWithin(std::uint32_t value, std::uint32_t min, std::uint32_t max) {
  return value >= min && value <= max && (value & (value - 1)) == 0;
}

// The checksum of a record's page image, started from the nonce.
std::uint32_t RecordChecksum(std::uint32_t nonce, std::span<const std::uint8_t> image) {
  std::uint32_t sum = nonce;
  for (std::size_t i = image.size() > jf::kChecksumStride ? image.size() - jf::kChecksumStride : 0; i > 0;
       i = i > jf::kChecksumStride ? i - jf::kChecksumStride : 0) {
    sum += image[i];
  }
  return sum;
}

// True when the header names a sector size and a page size SQLite can write.
bool SizesAreLegal(std::span<const std::uint8_t, jf::kHeaderFieldsSize> header) {
  return IsPowerOfTwoWithin(DecodeField(header, jf::kSectorSizeOffset), jf::kMinSectorSize, jf::kMaxSectorSize) &&
         IsPowerOfTwoWithin(DecodeField(header, jf::kPageSizeOffset), sqlite_format::kMinPageSize,
                            sqlite_format::kMaxPageSize);
}

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

}  // namespace

void RollbackJournal::Close() {
  m_file.Reset();
  m_records.clear();
  m_problems.clear();
}

std::error_code RollbackJournal::Open(const std::string& path, std::uint32_t databasePageSize) {
  Close();

  std::uint64_t fileSize = 0;
  if (const std::error_code rc = OpenForReadingAt(path, m_file, &fileSize); rc) return rc;
  // A journal truncated at the end of its transaction is empty; that is no damage.
  if (fileSize == 0) return {};

  std::array<std::uint8_t, jf::kHeaderFieldsSize> header{};
  if (fileSize < header.size() || ReadExactlyAt(m_file.Get(), header, 0)) {
    m_problems.push_back("The rollback journal is shorter than its header; it holds no page images.");
    return {};
  }
  const SegmentKind first = KindOf(header);
  if (first == SegmentKind::kNone) {
    m_problems.push_back(
        "The rollback journal's header is zeroed or is not a journal header; it holds no page images.");
    return {};
  }
  // The header array holds every field read below.
  const std::uint32_t sectorSize = DecodeField(header, jf::kSectorSizeOffset);
  const std::uint32_t pageSize = DecodeField(header, jf::kPageSizeOffset);
  if (pageSize != databasePageSize) {
    m_problems.push_back("The rollback journal holds pages of " + std::to_string(pageSize) +
                         " bytes but the database's pages have " + std::to_string(databasePageSize) +
                         " bytes; it was not read.");
    return {};
  }

  m_pageSize = pageSize;
  m_recordSize = jf::kRecordPageNumberSize + pageSize + jf::kRecordChecksumSize;
  std::uint64_t segmentOffset = 0;
  SegmentKind kind = first;
  // Each turn moves at least one sector on, so the walk ends at the end of the file.
  while (kind != SegmentKind::kNone) {
    const std::uint64_t recordsOffset = segmentOffset + sectorSize;
    const std::uint64_t available = recordsOffset < fileSize ? (fileSize - recordsOffset) / m_recordSize : 0;
    const std::uint32_t stated = DecodeField(header, jf::kRecordCountOffset);
    const std::uint32_t nonce = DecodeField(header, jf::kNonceOffset);
    if (kind == SegmentKind::kPending || stated == jf::kCountToFileEnd || stated == jf::kCountNotSynced) {
      // Behind the records of a segment that was never synced may lie bytes
      // that were never written: the first record that fails ends it.
      ReadRecords(recordsOffset, available, nonce, false);
      return {};
    }
    if (stated > available) {
      m_problems.push_back("The rollback journal ends before the last of its page images; the missing ones were "
                           "not read.");
    }
    const std::uint64_t count = std::min<std::uint64_t>(stated, available);
    if (ReadRecords(recordsOffset, count, nonce, true) < count) return {};
    const std::uint64_t recordsEnd = recordsOffset + count * m_recordSize;
    segmentOffset = RoundUp(recordsEnd, sectorSize);
    kind = SegmentAt(segmentOffset, fileSize, sectorSize, pageSize, header);
    if (kind == SegmentKind::kNone) {
      // Records written after the segment's count was last stored, with no
      // header after them yet, still carry the segment's checksums.
      if (recordsEnd < fileSize) ReadRecords(recordsEnd, (fileSize - recordsEnd) / m_recordSize, nonce, false);
      return {};
    }
  }
  return {};
}

RollbackJournal::SegmentKind RollbackJournal::KindOf(std::span<const std::uint8_t, jf::kHeaderFieldsSize> header) {
  if (std::equal(header.begin(), header.begin() + jf::kMagicSize, std::begin(jf::kMagic))) {
    return SizesAreLegal(header) ? SegmentKind::kSynced : SegmentKind::kNone;
  }
  // A header is written with its magic zeroed and gets it when the journal
  // is synced; a zeroed magic before legal sizes opens the segment of a
  // transaction still under way. A header zeroed whole holds nothing.
  const bool magicZeroed = std::all_of(header.begin(), header.begin() + jf::kMagicSize, [](auto b) { return b == 0; });
  return magicZeroed && SizesAreLegal(header) ? SegmentKind::kPending : SegmentKind::kNone;
}

RollbackJournal::SegmentKind RollbackJournal::SegmentAt(std::uint64_t offset, std::uint64_t fileSize,
                                                        std::uint32_t sectorSize, std::uint32_t pageSize,
                                                        std::span<std::uint8_t, jf::kHeaderFieldsSize> header) const {
  if (offset >= fileSize || fileSize - offset < header.size() || ReadExactlyAt(m_file.Get(), header, offset)) {
    return SegmentKind::kNone;
  }
  // Later headers repeat the first one's sizes.
  if (DecodeField(header, jf::kSectorSizeOffset) != sectorSize || DecodeField(header, jf::kPageSizeOffset) != pageSize) {
    return SegmentKind::kNone;
  }
  return KindOf(header);
}

std::uint64_t RollbackJournal::ReadRecords(std::uint64_t offset, std::uint64_t count, std::uint32_t nonce,
                                           bool countStated) {
  std::vector<std::uint8_t> record(m_recordSize);
  for (std::uint64_t i = 0; i < count; ++i, offset += m_recordSize) {
    if (ReadExactlyAt(m_file.Get(), record, offset)) {
      m_problems.push_back("The rollback journal could not be read to its end.");
      return i;
    }
    // The record buffer holds the page number, a whole image and the checksum.
    const std::uint32_t pageNumber = DecodeField(record, 0);
    const std::span<const std::uint8_t> image(record.data() + jf::kRecordPageNumberSize, m_pageSize);
    const std::uint32_t checksum = DecodeField(record, jf::kRecordPageNumberSize + m_pageSize);
    if (pageNumber == 0 || checksum != RecordChecksum(nonce, image)) {
      if (countStated) {
        m_problems.push_back("A page image of the rollback journal fails its checksum; the images from there on "
                             "were not read.");
      }
      return i;
    }
    m_records.push_back({pageNumber, offset + jf::kRecordPageNumberSize});
  }
  return count;
}

std::error_code RollbackJournal::Read(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
  if (!m_file.IsOpen()) return kBadFile;
  return ReadExactlyAt(m_file.Get(), buffer, offset);
}

}  // namespace scrivel::sqlite
