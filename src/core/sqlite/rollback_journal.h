// RollbackJournal: the rollback journal ("DB-journal") beside a database,
// read without changing it. Before a transaction in the journal's modes
// changes a page of the main file it copies the page's old image here, so
// the journal of a transaction that was under way (or whose journal was not
// deleted) keeps older images of pages. All integers are big-endian.
//
// The journal is one or more segments; each starts at a multiple of the
// sector size with a header that fills one sector:
//
//   OFFSET  SIZE  DESCRIPTION
//        0     8  magic: d9 d5 05 f9 20 a1 63 d7
//        8     4  number of records of the segment; 0xffffffff (and 0 in
//                 a journal that was never synced) = records to the end of
//                 the file
//       12     4  checksum nonce, a random value
//       16     4  database size in pages before the transaction
//       20     4  sector size (the header's size); read from the first header
//       24     4  page size; read from the first header
//
// then the segment's records:
//
//   OFFSET      SIZE       DESCRIPTION
//        0         4       page number of the image
//        4         page    the page's image from before the transaction
//        4 + page  4       checksum: the nonce plus the image's bytes at
//                          offsets page - 200, page - 400, ... above 0
//
// A header is written with its magic zeroed and receives the magic when
// the journal is synced; a header with a zeroed magic but legal sizes opens
// the segment of a transaction still under way, read to the end of the file.
// A record is kept while its page number is not 0 and its checksum holds;
// the first that fails ends the journal. Records behind a segment's stated
// count that no later header follows (written after the count was last
// stored) are kept while their checksums hold. A header zeroed whole (left by
// a transaction that committed in a mode that keeps the file) or a header of
// another page size gives no images.
#pragma once

#include <system_error>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/common/unique_fd.h"

namespace scrivel::sqlite {

namespace journal_format {
inline constexpr std::uint8_t kMagic[] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
inline constexpr std::size_t kMagicSize = 8;
inline constexpr std::size_t kRecordCountOffset = 8;
inline constexpr std::size_t kNonceOffset = 12;
inline constexpr std::size_t kInitialSizeOffset = 16;
inline constexpr std::size_t kSectorSizeOffset = 20;
inline constexpr std::size_t kPageSizeOffset = 24;
inline constexpr std::size_t kHeaderFieldsSize = 28;       // magic 8 + five 4-byte fields
inline constexpr std::uint32_t kCountToFileEnd = 0xffffffff;
inline constexpr std::uint32_t kCountNotSynced = 0;
inline constexpr std::uint32_t kMinSectorSize = 32;
inline constexpr std::uint32_t kMaxSectorSize = 65536;
inline constexpr std::size_t kRecordPageNumberSize = 4;
inline constexpr std::size_t kRecordChecksumSize = 4;
inline constexpr std::uint32_t kChecksumStride = 200;      // one image byte in 200 enters the checksum
}  // namespace journal_format

struct JournalRecord {
  std::uint32_t pageNumber = 0;   // never 0
  std::uint64_t imageOffset = 0;  // where the page image starts in the journal
};

class RollbackJournal {
 public:
  // Reads the journal at `path` for a database of `databasePageSize`-byte
  // pages (closing one read before). Returns success when the file was
  // opened, whatever it holds: what is wrong with it is in Problems().
  // Returns the system's error when it cannot be opened (ENOENT when there
  // is none), kBadFile when it is a symbolic link or not a regular file.
  [[nodiscard]] std::error_code Open(const std::string& path, std::uint32_t databasePageSize);
  // Closes the file and forgets what was read.
  void Close();

  // The records kept, in file order.
  const std::vector<JournalRecord>& Records() const { return m_records; }
  // What is wrong with the journal, as sentences; empty for a sound one.
  const std::vector<std::string>& Problems() const { return m_problems; }

  // Fills `buffer` from byte `offset` of the journal. Returns success,
  // kShortRead when the journal ends first, kBadFile when none is open, or
  // the system's error.
  [[nodiscard]] std::error_code Read(std::uint64_t offset, std::span<std::uint8_t> buffer) const;

 private:
  enum class SegmentKind {
    kNone,     // no segment header
    kSynced,   // a header with its magic: its record count holds
    kPending,  // a header whose magic is still zero: a transaction under way, records to the end
  };
  static SegmentKind KindOf(std::span<const std::uint8_t, journal_format::kHeaderFieldsSize> header);
  // The kind of the segment header at `offset`, read into `header`; it must
  // repeat the first header's sector and page size.
  SegmentKind SegmentAt(std::uint64_t offset, std::uint64_t fileSize, std::uint32_t sectorSize,
                        std::uint32_t pageSize, std::span<std::uint8_t, journal_format::kHeaderFieldsSize> header) const;
  // Keeps up to `count` records from `offset` on, ending at the first that
  // fails its checksum (a problem when `countStated`). Returns how many it kept.
  std::uint64_t ReadRecords(std::uint64_t offset, std::uint64_t count, std::uint32_t nonce, bool countStated);

  UniqueFd m_file;
  std::uint32_t m_pageSize = 0;
  std::uint64_t m_recordSize = 0;
  std::vector<JournalRecord> m_records;
  std::vector<std::string> m_problems;
};

}  // namespace scrivel::sqlite
