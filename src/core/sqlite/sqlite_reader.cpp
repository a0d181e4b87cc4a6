#include "core/sqlite/sqlite_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/sqlite/byte_view.h"
#include "core/sqlite/database_header.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/positioned_read.h"
#include "core/sqlite/rollback_journal.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/wal_file.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Decodes the big-endian 4-byte value at `offset` of `bytes`.
// Precondition: the caller checked that `bytes` holds offset + 4 bytes.
std::uint32_t Decode32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
         (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

std::uint32_t ClampToPageCount(std::uint64_t pages) {
  return pages > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                           : static_cast<std::uint32_t>(pages);
}

// The sentence for a file beside the database that exists but cannot be read.
std::string UnreadableSideFile(const char* what, const std::error_code& rc) {
  if (rc == kBadFile) {
    return std::string("The ") + what + " beside the file is a link or not a regular file; it was not read.";
  }
  return std::string("The ") + what + " beside the file could not be opened (" + rc.message() + "); it was not read.";
}

}  // namespace

SqliteReader::SqliteReader() : m_wal(std::make_unique<WalFile>()), m_journal(std::make_unique<RollbackJournal>()) {}

SqliteReader::~SqliteReader() = default;

bool SqliteReader::HasWal() const { return m_wal->HasFrames(); }

std::error_code SqliteReader::Open(const std::string& path, const OpenOptions& options) {
  m_file.Reset();
  m_freePages.clear();
  m_freeTrunkPages.clear();
  m_walPages.clear();
  m_olderImages.clear();
  m_problems.clear();
  m_wal->Close();
  m_journal->Close();
  m_pageSize = m_usableSize = m_pageCount = 0;
  m_fileSize = 0;
  m_openSystemError.clear();

  UniqueFd file;
  m_openSystemError = OpenRegularFileForReading(path, file);
  if (m_openSystemError) return kBadFile;
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) {
    m_openSystemError = LastSystemError();
    return kBadFile;
  }

  // A file shorter than the header reads as zeros behind its end.
  std::array<std::uint8_t, fmt::kDatabaseHeaderSize> header{};
  if (ReadAt(file.Get(), header, 0) < 0) {
    m_openSystemError = LastSystemError();
    return kBadFile;
  }
  if (!HasSqliteMagic(header)) return kBadFile;
  const std::uint32_t pageSize = PageSizeFromField(Read16(header, fmt::kPageSizeOffset).value_or(0));
  if (pageSize == 0) return kBadFile;
  const std::uint32_t reserved = header[fmt::kReservedBytesOffset];

  m_file = std::move(file);
  m_pageSize = pageSize;
  m_usableSize = pageSize > reserved ? pageSize - reserved : pageSize;
  m_fileSize = static_cast<std::uint64_t>(status.st_size);
  m_pageCount = ClampToPageCount(m_fileSize / pageSize);
  if (options.readWal) ReadWal(path + "-wal", m_pageCount);
  if (options.readJournal) ReadJournal(path + "-journal");
  CollectFreePages();
  return {};
}

// Maps every page of the log's last committed state to its newest committed
// frame and lists the images that state replaced. The database size of the
// last commit is believed only as far as the main file and the committed
// frames can hold its pages, so a forged size cannot make the reader
// promise billions of pages.
void SqliteReader::ReadWal(const std::string& walPath, std::uint32_t mainPageCount) {
  if (const std::error_code rc = m_wal->Open(walPath, m_pageSize); rc) {
    if (rc != std::errc::no_such_file_or_directory) m_problems.push_back(UnreadableSideFile("write-ahead log", rc));
    return;
  }
  m_problems.insert(m_problems.end(), m_wal->Problems().begin(), m_wal->Problems().end());
  const std::vector<WalFrame>& frames = m_wal->Frames();
  std::uint32_t databaseSize = m_wal->CommittedDatabaseSize();
  if (databaseSize == 0) databaseSize = mainPageCount;  // nothing committed: the main file is the state

  // Newest committed frame of each page within the committed database:
  // (page index, frame index) sorted by page, the last frame of a page kept.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> newest;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].state == WalFrameState::kCommitted && frames[i].pageNumber <= databaseSize)
      newest.emplace_back(frames[i].pageNumber - 1, static_cast<std::uint32_t>(i));
  }
  std::stable_sort(newest.begin(), newest.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  const auto lastOfPage = [&](std::size_t i) { return i + 1 == newest.size() || newest[i + 1].first != newest[i].first; };
  std::size_t kept = 0;
  for (std::size_t i = 0; i < newest.size(); ++i)
    if (lastOfPage(i)) newest[kept++] = newest[i];
  newest.resize(kept);

  const auto behindMainFile = std::count_if(newest.begin(), newest.end(), [&](const auto& entry) { return entry.first >= mainPageCount; });
  const std::uint64_t mostPages = std::uint64_t{mainPageCount} + static_cast<std::uint64_t>(behindMainFile);
  if (databaseSize > mostPages) {
    m_problems.push_back("The last commit of the write-ahead log names a database of " + std::to_string(databaseSize) +
                         " pages, more than the file and the log hold; " + std::to_string(mostPages) +
                         " pages were read.");
    databaseSize = static_cast<std::uint32_t>(mostPages);
    std::erase_if(newest, [&](const auto& entry) { return entry.first >= databaseSize; });
  }
  m_walPages.reserve(newest.size());
  for (const auto& [pageIndex, frameIndex] : newest) m_walPages.emplace_back(pageIndex, frames[frameIndex].imageOffset);
  m_pageCount = databaseSize;
  m_fileSize = std::max<std::uint64_t>(m_fileSize, std::uint64_t{databaseSize} * m_pageSize);

  std::vector<bool> isNewest(frames.size(), false);
  for (const auto& entry : newest) isNewest[entry.second] = true;
  newest = std::vector<std::pair<std::uint32_t, std::uint32_t>>();  // lets go of the memory
  // A main-file page is an older image when the log replaced it or the
  // last commit cut it off.
  const auto replaced = [&](std::uint32_t pageIndex) { return pageIndex >= databaseSize || WalImageOf(pageIndex).has_value(); };
  std::size_t imageCount = frames.size() - m_walPages.size();
  for (std::uint32_t pageIndex = 0; pageIndex < mainPageCount; ++pageIndex) imageCount += replaced(pageIndex) ? 1 : 0;
  m_olderImages.reserve(imageCount);
  for (std::uint32_t pageIndex = 0; pageIndex < mainPageCount; ++pageIndex) {
    if (replaced(pageIndex)) {
      m_olderImages.push_back({pageIndex, RowSource::kWalSuperseded, PageImage::File::kMainFile,
                               std::uint64_t{pageIndex} * m_pageSize});
    }
  }
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (isNewest[i]) continue;  // the page's image in the current state
    const WalFrame& frame = frames[i];
    const RowSource source =
        frame.state == WalFrameState::kUncommitted ? RowSource::kWalUncommitted : RowSource::kWalSuperseded;
    m_olderImages.push_back({frame.pageNumber - 1, source, PageImage::File::kWal, frame.imageOffset});
  }
  m_wal->ForgetFrames();
}

std::optional<std::uint64_t> SqliteReader::WalImageOf(std::uint32_t pageIndex) const {
  const auto found = std::lower_bound(m_walPages.begin(), m_walPages.end(), pageIndex,
                                      [](const auto& entry, std::uint32_t page) { return entry.first < page; });
  if (found == m_walPages.end() || found->first != pageIndex) return std::nullopt;
  return found->second;
}

void SqliteReader::ReadJournal(const std::string& journalPath) {
  if (const std::error_code rc = m_journal->Open(journalPath, m_pageSize); rc) {
    if (rc != std::errc::no_such_file_or_directory) m_problems.push_back(UnreadableSideFile("rollback journal", rc));
    return;
  }
  m_problems.insert(m_problems.end(), m_journal->Problems().begin(), m_journal->Problems().end());
  for (const JournalRecord& record : m_journal->Records()) {
    m_olderImages.push_back({record.pageNumber - 1, RowSource::kJournal, PageImage::File::kJournal, record.imageOffset});
  }
}

// Walks the freelist trunk chain. Each trunk is visited once, a trunk's
// leaf count is bounded by what its page can hold, leaf numbers outside the
// file are skipped and each leaf is listed once, so a corrupt chain ends.
// A trunk that cannot be read ends the chain (its content is unknown). The
// chain starts at the database header of the current page 1.
void SqliteReader::CollectFreePages() {
  std::vector<std::uint8_t> page(m_pageSize);
  if (ReadPage(0, page)) return;
  // The page buffer holds at least the 100-byte database header, and every
  // trunk field read below lies inside a page.
  std::uint32_t trunk = Decode32(page, fmt::kFirstTrunkPageOffset);
  std::vector<bool> seen(m_pageCount, false);
  const std::size_t maxLeaves = (m_pageSize - fmt::kTrunkHeaderSize) / fmt::kTrunkLeafEntrySize;
  while (trunk != 0 && trunk <= m_pageCount && !seen[trunk - 1]) {
    seen[trunk - 1] = true;
    if (ReadPage(trunk - 1, page)) return;
    m_freeTrunkPages.push_back(trunk - 1);
    const std::uint32_t next = Decode32(page, 0);
    const std::size_t count = std::min<std::size_t>(Decode32(page, 4), maxLeaves);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t leaf = Decode32(page, fmt::kTrunkHeaderSize + i * fmt::kTrunkLeafEntrySize);
      if (leaf == 0 || leaf > m_pageCount || seen[leaf - 1]) continue;  // leaf outside the file, or listed twice
      seen[leaf - 1] = true;
      m_freePages.push_back(leaf - 1);
    }
    trunk = next;
  }
}

std::error_code SqliteReader::ReadCurrent(std::uint32_t pageIndex, std::uint64_t offsetInPage,
                                          std::span<std::uint8_t> buffer) const {
  if (!m_file.IsOpen()) return kBadFile;
  if (pageIndex >= m_pageCount) return kShortRead;
  if (const auto image = WalImageOf(pageIndex)) return m_wal->Read(*image + offsetInPage, buffer);
  return ReadExactlyAt(m_file.Get(), buffer, std::uint64_t{pageIndex} * m_pageSize + offsetInPage);
}

std::error_code SqliteReader::ReadPage(std::uint32_t pageIndex, std::span<std::uint8_t> buffer) const {
  if (buffer.size() < m_pageSize) return kBadFile;
  return ReadCurrent(pageIndex, 0, buffer.first(m_pageSize));
}

std::error_code SqliteReader::ReadPages(std::uint32_t first, std::span<std::uint8_t> buffer,
                                        std::uint32_t* pagesRead) const {
  *pagesRead = 0;
  if (!m_file.IsOpen() || m_pageSize == 0) return kBadFile;
  if (first >= m_pageCount) return kShortRead;
  const std::uint32_t wanted =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(buffer.size() / m_pageSize, m_pageCount - first));
  if (wanted == 0) return kBadFile;
  const long long got = ReadAt(m_file.Get(), buffer.first(std::size_t{wanted} * m_pageSize), std::uint64_t{first} * m_pageSize);
  if (got < 0) return LastSystemError();
  // Pages the main file holds whole, then pages that only the log has (a
  // database the log made larger); a newer image in the log replaces the
  // main file's.
  std::uint32_t count = static_cast<std::uint32_t>(static_cast<std::uint64_t>(got) / m_pageSize);
  for (std::uint32_t i = 0; i < wanted; ++i) {
    const auto image = WalImageOf(first + i);
    if (!image) {
      if (i >= count) break;
      continue;
    }
    if (m_wal->Read(*image, buffer.subspan(std::size_t{i} * m_pageSize, m_pageSize))) {
      count = std::min(count, i);
      break;
    }
    count = std::max(count, i + 1);
  }
  if (count == 0) return kShortRead;
  *pagesRead = count;
  return {};
}

std::error_code SqliteReader::ReadPageType(std::uint32_t pageIndex, std::uint8_t* type) const {
  return ReadCurrent(pageIndex, PageHeaderOffset(pageIndex), std::span<std::uint8_t>(type, 1));
}

std::error_code SqliteReader::ReadImage(const PageImage& image, std::span<std::uint8_t> buffer) const {
  if (!m_file.IsOpen() || buffer.size() < m_pageSize) return kBadFile;
  const std::span<std::uint8_t> page = buffer.first(m_pageSize);
  switch (image.file) {
    case PageImage::File::kMainFile: return ReadExactlyAt(m_file.Get(), page, image.offset);
    case PageImage::File::kWal: return m_wal->Read(image.offset, page);
    case PageImage::File::kJournal: return m_journal->Read(image.offset, page);
  }
  return kBadFile;
}

}  // namespace scrivel::sqlite
