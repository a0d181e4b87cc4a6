// WalFile: the write-ahead log ("DB-wal") beside a database, read without
// changing anything: it is never created, written or checkpointed, and no
// shared-memory index ("DB-shm") is made. While a database is in WAL mode a
// write appends the new images of the pages it changed to the log; the main
// file only catches up at a checkpoint. All integers are big-endian.
//
// Log header (32 bytes):
//
//   OFFSET  SIZE  DESCRIPTION
//        0     4  magic: 0x377f0682 or 0x377f0683; its lowest bit chooses the
//                 byte order of the checksum words (1 = big-endian)
//        4     4  format version, 3007000
//        8     4  page size of the database (65536 is stored as is)
//       12     4  checkpoint sequence number
//       16     4  salt 1, changed each time the log restarts from its start
//       20     4  salt 2, a new random value at each restart
//       24     4  checksum 1 of bytes 0-23
//       28     4  checksum 2 of bytes 0-23
//
// Then frames, each a 24-byte frame header and one page image:
//
//   OFFSET  SIZE  DESCRIPTION
//        0     4  page number of the image
//        4     4  for a commit frame, the database size in pages after the
//                 commit; 0 for the other frames of a transaction
//        8     4  salt 1, a copy of the header's
//       12     4  salt 2, a copy of the header's
//       16     4  checksum 1 over frame header bytes 0-7 and the page image
//       20     4  checksum 2
//
// Checksums are cumulative: each frame's continue those of the frame before
// (of the log header for the first frame). They are computed over 32-bit
// words taken two at a time: s1 += word[i] + s2, s2 += word[i+1] + s1.
//
// A frame is valid when its salts equal the header's, its page number is not
// 0 and its checksums match. The last committed state of the database is
// every valid frame up to the last valid commit frame; valid frames after it
// belong to a transaction that never committed. The first invalid frame ends
// the valid frames: behind it lie frames of an earlier generation of the log
// (other salts, left over from before the log restarted) or torn writes.
//
// The log is read frame header by frame header through one page buffer, so
// a log of any size costs memory for its frame list only.
#pragma once

#include <system_error>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/common/unique_fd.h"

namespace scrivel::sqlite {

namespace wal_format {
inline constexpr std::uint32_t kMagicLittleEndian = 0x377f0682;  // checksum words little-endian
inline constexpr std::uint32_t kMagicBigEndian = 0x377f0683;     // checksum words big-endian
inline constexpr std::uint32_t kVersion = 3007000;
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kVersionOffset = 4;
inline constexpr std::size_t kPageSizeOffset = 8;
inline constexpr std::size_t kSalt1Offset = 16;
inline constexpr std::size_t kSalt2Offset = 20;
inline constexpr std::size_t kChecksum1Offset = 24;
inline constexpr std::size_t kChecksum2Offset = 28;
inline constexpr std::size_t kHeaderSize = 32;              // 7 fields of 4 bytes + 2 checksum words
inline constexpr std::size_t kHeaderChecksummedSize = 24;  // the header bytes its checksum covers

inline constexpr std::size_t kFramePageNumberOffset = 0;
inline constexpr std::size_t kFrameDatabaseSizeOffset = 4;
inline constexpr std::size_t kFrameSalt1Offset = 8;
inline constexpr std::size_t kFrameSalt2Offset = 12;
inline constexpr std::size_t kFrameChecksum1Offset = 16;
inline constexpr std::size_t kFrameChecksum2Offset = 20;
inline constexpr std::size_t kFrameHeaderSize = 24;             // page number, size, 2 salts, 2 checksum words
inline constexpr std::size_t kFrameHeaderChecksummedSize = 8;  // page number and database size
}  // namespace wal_format

enum class WalFrameState : std::uint8_t {
  kCommitted,    // part of the last committed state (perhaps replaced by a later committed frame)
  kUncommitted,  // valid, but written after the last commit
  kStale,        // of an earlier generation of the log, or behind a checksum break
};

struct WalFrame {
  std::uint32_t pageNumber = 0;    // never 0: frames without a page number are not listed
  std::uint32_t databaseSize = 0;  // pages after the commit for a commit frame, else 0
  std::uint64_t imageOffset = 0;   // where the page image starts in the log
  WalFrameState state = WalFrameState::kStale;
};

class WalFile {
 public:
  // Reads the log at `path` for a database of `databasePageSize`-byte pages
  // (closing a log read before). Returns success when the file was opened,
  // whatever it holds: what is wrong with it is in Problems(). Returns the
  // system's error when it cannot be opened (ENOENT when there is no log),
  // kBadFile when it is a symbolic link or not a regular file.
  [[nodiscard]] std::error_code Open(const std::string& path, std::uint32_t databasePageSize);
  // Closes the file and forgets what was read.
  void Close();

  // True when the header is a log header for pages of the database's size,
  // so that Frames() lists the log's frames.
  bool HasFrames() const { return m_hasFrames; }
  // Every frame of a page, in log order.
  const std::vector<WalFrame>& Frames() const { return m_frames; }
  // Lets go of the list of frames (a reader that drew what it needs from
  // it); Read still works.
  void ForgetFrames() { m_frames = std::vector<WalFrame>(); }
  // Database size in pages after the last valid commit; 0 when none committed.
  std::uint32_t CommittedDatabaseSize() const { return m_committedDatabaseSize; }
  // What is wrong with the log, as sentences; empty for a sound log.
  const std::vector<std::string>& Problems() const { return m_problems; }

  // Fills `buffer` from byte `offset` of the log (a frame's imageOffset, or
  // a point inside its image). Returns success, kShortRead when the log ends
  // first, kBadFile when no log is open, or the system's error.
  [[nodiscard]] std::error_code Read(std::uint64_t offset, std::span<std::uint8_t> buffer) const;

 private:
  void ReadFrames(std::uint64_t fileSize, std::uint32_t pageSize, bool bigEndian, std::span<const std::uint8_t> header);

  UniqueFd m_file;
  bool m_hasFrames = false;
  std::vector<WalFrame> m_frames;
  std::uint32_t m_committedDatabaseSize = 0;
  std::vector<std::string> m_problems;
};

}  // namespace scrivel::sqlite
