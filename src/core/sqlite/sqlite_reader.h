// SqliteReader: one SQLite database file opened read-only and read page by
// page, without a database engine, so that the free space the engine hides
// can be searched for deleted rows. The b-tree walks live in btree_walk.h,
// the schema lookup in schema.h; database_recovery.h drives them.
//
// Not thread-safe: a reader belongs to the one thread that created it.
#pragma once

#include <system_error>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/unique_fd.h"
#include "core/sqlite/row_source.h"

namespace scrivel::sqlite {

struct ReaderOptions {
  bool readWal = true;  // read DB-wal beside the file when it is there
};

// A page image older than the one ReadPage gives: kept in the write-ahead
// log or the rollback journal.
struct PageImage {
  std::uint32_t pageIndex = 0;
  RowSource source = RowSource::kWalSuperseded;  // kWalSuperseded, kWalUncommitted or kJournal
  std::uint64_t offset = 0;                      // where the image starts in its file
};

class SqliteReader {
 public:
  SqliteReader() = default;
  SqliteReader(const SqliteReader&) = delete;
  SqliteReader& operator=(const SqliteReader&) = delete;

  // Opens `path` read-only (closing a file opened before), checks the magic
  // text (letter case ignored), reads the page size and collects the
  // freelist leaf pages. Returns success, or kBadFile when the file is
  // missing, cannot be opened or read, is not a regular file, is not an
  // SQLite database, or its page size is not a power of two from 512 to
  // 65536. OpenSystemError() then tells an operating-system cause.
  [[nodiscard]] std::error_code Open(const std::string& path, const ReaderOptions& options = {});

  // Whether a write-ahead log was read with the file.
  bool HasWal() const { return false; }
  // Page images older than the current ones, in file order.
  const std::vector<PageImage>& OlderImages() const { return m_olderImages; }
  // Reads one older image into `buffer` (PageSize() bytes).
  [[nodiscard]] std::error_code ReadImage(const PageImage& image, std::span<std::uint8_t> buffer) const;
  // What was wrong with the write-ahead log or journal, in words.
  const std::vector<std::string>& Problems() const { return m_problems; }

  // Reads page index `pageIndex` (page number - 1) into `buffer`, which
  // must hold PageSize() bytes. Returns success; kBadFile without an open file;
  // kShortRead when the file ends inside the page; the system's error when
  // the read fails.
  [[nodiscard]] std::error_code ReadPage(std::uint32_t pageIndex, std::span<std::uint8_t> buffer) const;
  // Reads the first byte of the b-tree page header of page index
  // `pageIndex` (at offset 100 of the first page, else at 0), which tells
  // the page's type, into `*type`. Returns as ReadPage.
  [[nodiscard]] std::error_code ReadPageType(std::uint32_t pageIndex, std::uint8_t* type) const;

  // Why the last Open failed, when the operating system said so (a missing
  // file, no permission, a symbolic link); empty otherwise.
  const std::error_code& OpenSystemError() const { return m_openSystemError; }

  std::uint32_t PageSize() const { return m_pageSize; }        // 0 before Open
  std::uint32_t UsableSize() const { return m_usableSize; }    // page size minus the reserved bytes
  std::uint64_t FileSize() const { return m_fileSize; }
  // Number of whole pages in the file; page indexes at or above it cannot be read.
  std::uint32_t PageCount() const { return m_pageCount; }
  // Page indexes of the freelist leaf pages, in the order of the trunk chain.
  const std::vector<std::uint32_t>& FreePages() const { return m_freePages; }
  // Page indexes of the freelist trunk pages, in chain order. Behind its
  // list of leaves a trunk page keeps what the page held before it was freed.
  const std::vector<std::uint32_t>& FreeTrunkPages() const { return m_freeTrunkPages; }

 private:
  void CollectFreePages(std::uint32_t firstTrunk);

  UniqueFd m_file;
  std::uint32_t m_pageSize = 0;
  std::uint32_t m_usableSize = 0;
  std::uint64_t m_fileSize = 0;
  std::uint32_t m_pageCount = 0;
  std::vector<std::uint32_t> m_freePages;
  std::vector<std::uint32_t> m_freeTrunkPages;
  std::vector<PageImage> m_olderImages;
  std::vector<std::string> m_problems;
  std::error_code m_openSystemError;  // the operating system's answer to the last Open, when it failed
};

}  // namespace scrivel::sqlite
