// SqliteReader: one SQLite database file opened read-only and read page by
// page, without a database engine, so that the free space the engine hides
// can be searched for deleted rows. The b-tree walks live in btree_walk.h,
// the schema lookup in schema.h; database_recovery.h drives them.
//
// The files beside the database are read too, never created or changed:
// with a write-ahead log ("DB-wal", wal_file.h) the pages read are those of
// its last committed state, as a database engine would see them; the page
// images that state replaced, and those of the rollback journal
// ("DB-journal", rollback_journal.h), are listed as older images.
//
//   page image                                  source
//   main-file page replaced by a committed frame,
//     or past the last commit's database size   kWalSuperseded
//   committed frame replaced by a later one     kWalSuperseded
//   frame of an earlier generation of the log,
//     or behind a checksum break                kWalSuperseded
//   frame written after the last commit         kWalUncommitted
//   page image kept in the rollback journal     kJournal
//
// Not thread-safe: a reader belongs to the one thread that created it.
#pragma once

#include <system_error>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <optional>
#include <utility>
#include <vector>

#include "core/common/unique_fd.h"
#include "core/sqlite/row_source.h"

namespace scrivel::sqlite {

class RollbackJournal;
class WalFile;

// Which of the files beside the database Open reads.
struct OpenOptions {
  bool readWal = true;      // "DB-wal": the last committed state and older images
  bool readJournal = true;  // "DB-journal": older images
};

// An older image of a page: what the page held before the state the reader
// shows, kept in the main file, the write-ahead log or the journal.
struct PageImage {
  enum class File : std::uint8_t { kMainFile, kWal, kJournal };
  std::uint32_t pageIndex = 0;  // page number - 1 of the page the image belongs to
  RowSource source = RowSource::kWalSuperseded;  // kWalSuperseded, kWalUncommitted or kJournal
  File file = File::kMainFile;
  std::uint64_t offset = 0;     // where the image starts in `file`
};

class SqliteReader {
 public:
  SqliteReader();
  ~SqliteReader();
  SqliteReader(const SqliteReader&) = delete;
  SqliteReader& operator=(const SqliteReader&) = delete;

  // Opens `path` read-only (closing a file opened before), checks the magic
  // text (letter case ignored), reads the page size and collects the
  // freelist leaf pages. Returns success, or kBadFile when the file is
  // missing, cannot be opened or read, is not a regular file, is not an
  // SQLite database, or its page size is not a power of two from 512 to
  // 65536. OpenSystemError() then tells an operating-system cause.
  // The write-ahead log and the rollback journal beside the file are read
  // as `options` say; what is wrong with them is in Problems(), and never
  // keeps the main file from opening.
  [[nodiscard]] std::error_code Open(const std::string& path, const OpenOptions& options = {});

  // Reads page index `pageIndex` (page number - 1) into `buffer`, which
  // must hold PageSize() bytes: the newest committed image of the page in
  // the write-ahead log, else the page of the main file. Returns success;
  // kBadFile without an open file; kShortRead for a page at or past
  // PageCount() or when the file ends inside the page; the system's error
  // when the read fails.
  [[nodiscard]] std::error_code ReadPage(std::uint32_t pageIndex, std::span<std::uint8_t> buffer) const;
  // Reads the pages from index `first` on into `buffer` (a whole number of
  // pages; as many as fit), each as ReadPage would, with one read of the
  // main file for the run. Stores in `*pagesRead` how many pages at the
  // start of `buffer` were read whole. Returns success when at least page
  // `first` was read, else as ReadPage.
  [[nodiscard]] std::error_code ReadPages(std::uint32_t first, std::span<std::uint8_t> buffer,
                                          std::uint32_t* pagesRead) const;
  // Reads the first byte of the b-tree page header of page index
  // `pageIndex` (at offset 100 of the first page, else at 0), which tells
  // the page's type, into `*type`. Returns as ReadPage.
  [[nodiscard]] std::error_code ReadPageType(std::uint32_t pageIndex, std::uint8_t* type) const;

  // Why the last Open failed, when the operating system said so (a missing
  // file, no permission, a symbolic link); empty otherwise.
  const std::error_code& OpenSystemError() const { return m_openSystemError; }

  std::uint32_t PageSize() const { return m_pageSize; }        // 0 before Open
  std::uint32_t UsableSize() const { return m_usableSize; }    // page size minus the reserved bytes
  // Size in bytes of the main file, or of the database its write-ahead log
  // makes (PageCount() pages) when that is larger.
  std::uint64_t FileSize() const { return m_fileSize; }
  // Number of pages of the database: the database size of the last commit
  // in the write-ahead log, else the number of whole pages in the main
  // file. Page indexes at or above it cannot be read.
  std::uint32_t PageCount() const { return m_pageCount; }

  // True when a write-ahead log beside the file was read (its header fits
  // the database), whether or not it holds a commit.
  bool HasWal() const;
  // Older images of pages, main-file images first (by page), then frames of
  // the write-ahead log and records of the journal in file order.
  const std::vector<PageImage>& OlderImages() const { return m_olderImages; }
  // Reads `image` into `buffer`, which must hold PageSize() bytes. Returns
  // as ReadPage.
  [[nodiscard]] std::error_code ReadImage(const PageImage& image, std::span<std::uint8_t> buffer) const;
  // What is wrong with the write-ahead log or the journal, as sentences.
  const std::vector<std::string>& Problems() const { return m_problems; }
  // Page indexes of the freelist leaf pages, in the order of the trunk chain.
  const std::vector<std::uint32_t>& FreePages() const { return m_freePages; }
  // Page indexes of the freelist trunk pages, in chain order. Behind its
  // list of leaves a trunk page keeps what the page held before it was freed.
  const std::vector<std::uint32_t>& FreeTrunkPages() const { return m_freeTrunkPages; }

 private:
  // Reads `buffer.size()` bytes at `offsetInPage` of the current image of page `pageIndex`.
  [[nodiscard]] std::error_code ReadCurrent(std::uint32_t pageIndex, std::uint64_t offsetInPage,
                                            std::span<std::uint8_t> buffer) const;
  void ReadWal(const std::string& path, std::uint32_t mainPageCount);
  void ReadJournal(const std::string& path);
  void CollectFreePages();

  UniqueFd m_file;
  std::uint32_t m_pageSize = 0;
  std::uint32_t m_usableSize = 0;
  std::uint64_t m_fileSize = 0;
  std::uint32_t m_pageCount = 0;
  std::vector<std::uint32_t> m_freePages;
  std::vector<std::uint32_t> m_freeTrunkPages;
  std::unique_ptr<WalFile> m_wal;
  // Where in the log the newest committed image of a page starts, for the
  // pages the log's last committed state holds: (page index, offset),
  // sorted by page index.
  std::vector<std::pair<std::uint32_t, std::uint64_t>> m_walPages;
  std::optional<std::uint64_t> WalImageOf(std::uint32_t pageIndex) const;
  std::unique_ptr<RollbackJournal> m_journal;
  std::vector<PageImage> m_olderImages;
  std::vector<std::string> m_problems;
  std::error_code m_openSystemError;  // the operating system's answer to the last Open, when it failed
};

}  // namespace scrivel::sqlite
