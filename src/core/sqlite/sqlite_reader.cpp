#include "core/sqlite/sqlite_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <limits>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/sqlite/byte_view.h"
#include "core/sqlite/database_header.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Reads up to `buffer.size()` bytes at `offset`; returns the count read or -1 (errno set).
long long ReadAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t got = ::pread(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long long>(done);
}

}  // namespace

std::error_code SqliteReader::Open(const std::string& path, const ReaderOptions&) {
  m_file.Reset();
  m_freePages.clear();
  m_freeTrunkPages.clear();
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
  const std::uint32_t pageSize = PageSizeFromField(*Read16(header, fmt::kPageSizeOffset));
  if (pageSize == 0) return kBadFile;
  const std::uint32_t reserved = header[fmt::kReservedBytesOffset];

  m_file = std::move(file);
  m_pageSize = pageSize;
  m_usableSize = pageSize > reserved ? pageSize - reserved : pageSize;
  m_fileSize = static_cast<std::uint64_t>(status.st_size);
  const std::uint64_t pages = m_fileSize / pageSize;
  m_pageCount = pages > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                                  : static_cast<std::uint32_t>(pages);
  CollectFreePages(*Read32(header, fmt::kFirstTrunkPageOffset));
  return {};
}

// Walks the freelist trunk chain. Each trunk is visited once, a trunk's
// leaf count is bounded by what its page can hold, leaf numbers outside the
// file are skipped and each leaf is listed once, so a corrupt chain ends.
// A trunk that cannot be read ends the chain (its content is unknown).
void SqliteReader::CollectFreePages(std::uint32_t firstTrunk) {
  std::vector<bool> seen(m_pageCount, false);
  std::vector<std::uint8_t> page(m_pageSize);
  const std::size_t maxLeaves = (m_pageSize - fmt::kTrunkHeaderSize) / fmt::kTrunkLeafEntrySize;
  std::uint32_t trunk = firstTrunk;
  while (trunk != 0 && trunk <= m_pageCount && !seen[trunk - 1]) {
    seen[trunk - 1] = true;
    if (ReadPage(trunk - 1, page)) return;
    m_freeTrunkPages.push_back(trunk - 1);
    const std::uint32_t next = *Read32(page, 0);
    const std::size_t count = std::min<std::size_t>(*Read32(page, 4), maxLeaves);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t leaf = *Read32(page, fmt::kTrunkHeaderSize + i * fmt::kTrunkLeafEntrySize);
      if (leaf == 0 || leaf > m_pageCount || seen[leaf - 1]) continue;  // leaf outside the file, or listed twice
      seen[leaf - 1] = true;
      m_freePages.push_back(leaf - 1);
    }
    trunk = next;
  }
}

std::error_code SqliteReader::ReadPage(std::uint32_t pageIndex, std::span<std::uint8_t> buffer) const {
  if (!m_file.IsOpen() || buffer.size() < m_pageSize) return kBadFile;
  const std::uint64_t offset = std::uint64_t{pageIndex} * m_pageSize;
  const long long got = ReadAt(m_file.Get(), buffer.first(m_pageSize), offset);
  if (got < 0) return LastSystemError();
  if (static_cast<std::uint64_t>(got) < m_pageSize) return kShortRead;
  return {};
}

std::error_code SqliteReader::ReadPageType(std::uint32_t pageIndex, std::uint8_t* type) const {
  if (!m_file.IsOpen()) return kBadFile;
  const std::uint64_t offset = std::uint64_t{pageIndex} * m_pageSize + PageHeaderOffset(pageIndex);
  const long long got = ReadAt(m_file.Get(), std::span<std::uint8_t>(type, 1), offset);
  if (got < 0) return LastSystemError();
  if (got < 1) return kShortRead;
  return {};
}

std::error_code SqliteReader::ReadImage(const PageImage&, std::span<std::uint8_t>) const { return kBadFile; }

}  // namespace scrivel::sqlite
