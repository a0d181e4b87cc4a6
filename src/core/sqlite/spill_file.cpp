#include "core/sqlite/spill_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>

#include "core/sqlite/positioned_read.h"

namespace scrivel::sqlite {

namespace {

// Writes all of `bytes` at `offset`, retrying interrupted and short writes.
bool WriteAllAt(int fd, Bytes bytes, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

bool SpillFile::Create() {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) return false;
  // A file without a name where the file system allows it; else a named
  // one, removed at once.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string pattern = (folder / "scrivel-spill-XXXXXX").string();
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::unlink(pattern.c_str());
  }
  m_file.Reset(fd);
  return true;
}

SpilledBlock SpillFile::Append(Bytes bytes) {
  SpilledBlock block;
  block.size = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), std::numeric_limits<std::uint32_t>::max()));
  bytes = bytes.first(block.size);
  if (!m_unusable && !m_file.IsOpen() && !Create()) m_unusable = true;
  if (!m_unusable && WriteAllAt(m_file.Get(), bytes, m_size)) {
    block.inFile = true;
    block.offset = m_size;
    m_size += block.size;
    return block;
  }
  // A failed write may have left part of the block in the file; what
  // follows is kept in memory.
  m_unusable = true;
  block.inMemory.assign(bytes.begin(), bytes.end());
  return block;
}

bool SpillFile::Read(const SpilledBlock& block, std::vector<std::uint8_t>& out) const {
  if (!block.inFile) {
    out = block.inMemory;
    return true;
  }
  out.resize(block.size);
  return m_file.IsOpen() && !ReadExactlyAt(m_file.Get(), out, block.offset);
}

std::uint64_t SpillStream::Append(Bytes record) {
  if (!m_open.empty() && m_open.size() + record.size() > m_blockBytes) {
    m_blocks.push_back(m_file->Append(m_open));
    m_open.clear();
  }
  if (m_open.empty()) m_open.reserve(std::max(m_blockBytes, record.size()));
  const std::uint64_t place = (std::uint64_t{m_blocks.size()} << 32) | m_open.size();
  m_open.insert(m_open.end(), record.begin(), record.end());
  return place;
}

bool SpillStream::ReadBlock(std::size_t index, std::vector<std::uint8_t>& out) const {
  if (index < m_blocks.size()) return m_file->Read(m_blocks[index], out);
  if (index > m_blocks.size()) return false;
  out = m_open;
  return true;
}

void SpillStream::Seal() {
  if (!m_open.empty()) m_blocks.push_back(m_file->Append(m_open));
  m_open = std::vector<std::uint8_t>();  // lets go of the memory, unlike clear()
}

void SpillStream::Clear() {
  m_blocks.clear();
  m_open = std::vector<std::uint8_t>();  // lets go of the memory, unlike clear()
}

}  // namespace scrivel::sqlite
