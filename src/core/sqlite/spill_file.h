// A temporary file that holds bytes set aside during a recovery (the
// deleted records found in one pass over a database, read back table by
// table), so that the memory a recovery takes does not grow with the size
// of the database.
//
// The file is made in the system's temporary folder (TMPDIR), never beside
// the database, and has no name: it disappears when it is closed, also
// when the program ends abnormally. It is made at the first Append. When no
// temporary file can be made or written (no space, a read-only folder), the
// bytes are kept in memory instead, so nothing found is lost.
//
// Not thread-safe: a spill file belongs to the recovery that made it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/common/unique_fd.h"
#include "core/sqlite/byte_view.h"

namespace scrivel::sqlite {

// One block of bytes appended to a spill file: where it lies in the file,
// or its bytes themselves when they could not be written.
struct SpilledBlock {
  bool inFile = false;
  std::uint64_t offset = 0;            // in the file
  std::uint32_t size = 0;
  std::vector<std::uint8_t> inMemory;  // the bytes, when the file could not take them
};

class SpillFile {
 public:
  SpillFile() = default;
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Appends `bytes` (at most 4 GiB) and says where they are.
  SpilledBlock Append(Bytes bytes);
  // Reads the bytes of `block` into `out`, resized to block.size. Returns
  // false when the file cannot give them back whole.
  [[nodiscard]] bool Read(const SpilledBlock& block, std::vector<std::uint8_t>& out) const;

 private:
  bool Create();

  UniqueFd m_file;
  bool m_unusable = false;  // making or writing the file failed: blocks stay in memory
  std::uint64_t m_size = 0;
};

// Records of one kind appended to a spill file in blocks of about
// `blockBytes` (a record is never split; a larger one makes a block of its
// own) and read back block by block. The block being filled stays in memory.
class SpillStream {
 public:
  static constexpr std::size_t kBlockBytes = std::size_t{64} << 10;

  // `file` must outlive the stream.
  explicit SpillStream(SpillFile& file, std::size_t blockBytes = kBlockBytes) : m_file(&file), m_blockBytes(blockBytes) {}

  // Appends one record and returns where it starts: the index of its block
  // << 32 | its offset in the block, which orders records as appended.
  std::uint64_t Append(Bytes record);
  // Blocks so far, the one being filled included when it holds anything.
  std::size_t BlockCount() const { return m_blocks.size() + (m_open.empty() ? 0 : 1); }
  // Reads block `index` into `out`. Returns false when the spill file
  // cannot give it back.
  [[nodiscard]] bool ReadBlock(std::size_t index, std::vector<std::uint8_t>& out) const;
  // Writes the block being filled to the file and lets go of its memory.
  void Seal();
  // Forgets every record (the file keeps their bytes until it is closed).
  void Clear();

 private:
  SpillFile* m_file;
  std::size_t m_blockBytes;
  std::vector<SpilledBlock> m_blocks;
  std::vector<std::uint8_t> m_open;
};

}  // namespace scrivel::sqlite
