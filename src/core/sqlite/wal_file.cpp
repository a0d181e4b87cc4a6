#include "core/sqlite/wal_file.h"


#include <array>

#include "core/common/result_codes.h"
#include "core/sqlite/positioned_read.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace wf = wal_format;

namespace {

// Decodes the 4-byte word at `bytes`, big- or little-endian.
// Precondition: the caller checked that 4 bytes lie at `bytes`.
std::uint32_t DecodeWord(const std::uint8_t* bytes, bool bigEndian) {
  if (bigEndian) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
  }
  return (std::uint32_t{bytes[3]} << 24) | (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[1]} << 8) |
         std::uint32_t{bytes[0]};
}

// Decodes the big-endian 4-byte field at `offset` of a header.
// Precondition: `header` holds at least offset + 4 bytes (a whole log or frame header).
std::uint32_t DecodeField(std::span<const std::uint8_t> header, std::size_t offset) {
  return DecodeWord(header.data() + offset, true);
}

// The running pair of checksum words of the log.
struct WalChecksum {
  std::uint32_t first = 0;
  std::uint32_t second = 0;

  // Adds `bytes`, two words at a time. Precondition: its size is a
  // multiple of 8 (the checksummed header parts are, and so is every page size).
  void Add(std::span<const std::uint8_t> bytes, bool bigEndian) {
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
      first += DecodeWord(bytes.data() + i, bigEndian) + second;
      second += DecodeWord(bytes.data() + i + 4, bigEndian) + first;
    }
  }
  bool Matches(std::span<const std::uint8_t> header, std::size_t firstOffset, std::size_t secondOffset) const {
    return first == DecodeField(header, firstOffset) && second == DecodeField(header, secondOffset);
  }
};

bool IsLegalPageSize(std::uint32_t size) {
  return size >= sqlite_format::kMinPageSize && size <= sqlite_format::kMaxPageSize && (size & (size - 1)) == 0;
}

}  // namespace

void WalFile::Close() {
  m_file.Reset();
  m_hasFrames = false;
  m_frames.clear();
  m_committedDatabaseSize = 0;
  m_problems.clear();
}

std::error_code WalFile::Open(const std::string& path, std::uint32_t databasePageSize) {
  Close();

  std::uint64_t fileSize = 0;
  if (const std::error_code rc = OpenForReadingAt(path, m_file, &fileSize); rc) return rc;

  // A log that was reset and never written again is empty; that is no damage.
  if (fileSize == 0) return {};
  if (fileSize < wf::kHeaderSize) {
    m_problems.push_back("The write-ahead log is " + std::to_string(fileSize) +
                         " bytes long, shorter than its header; it was not read.");
    return {};
  }
  std::array<std::uint8_t, wf::kHeaderSize> header{};
  if (ReadExactlyAt(m_file.Get(), header, 0)) {
    m_problems.push_back("The header of the write-ahead log could not be read; the log was not read.");
    return {};
  }
  const std::uint32_t magic = DecodeField(header, wf::kMagicOffset);
  if (magic != wf::kMagicLittleEndian && magic != wf::kMagicBigEndian) {
    m_problems.push_back("The file beside the database named as its write-ahead log is not one; it was not read.");
    return {};
  }
  if (DecodeField(header, wf::kVersionOffset) != wf::kVersion) {
    m_problems.push_back("The write-ahead log has a format version this program does not know; it was not read.");
    return {};
  }
  const std::uint32_t pageSize = DecodeField(header, wf::kPageSizeOffset);
  if (!IsLegalPageSize(pageSize) || pageSize != databasePageSize) {
    m_problems.push_back("The write-ahead log holds pages of " + std::to_string(pageSize) +
                         " bytes but the database's pages have " + std::to_string(databasePageSize) +
                         " bytes; the log was not read.");
    return {};
  }
  m_hasFrames = true;
  ReadFrames(fileSize, pageSize, magic == wf::kMagicBigEndian, header);
  return {};
}

void WalFile::ReadFrames(std::uint64_t fileSize, std::uint32_t pageSize, bool bigEndian,
                         std::span<const std::uint8_t> header) {
  WalChecksum running;
  running.Add(header.first(wf::kHeaderChecksummedSize), bigEndian);
  // With a damaged header no frame can be trusted to belong to the last
  // committed state; the page images are still older images of the file.
  bool chainIntact = running.Matches(header, wf::kChecksum1Offset, wf::kChecksum2Offset);
  if (!chainIntact) {
    m_problems.push_back(
        "The header of the write-ahead log fails its checksum; its frames are read as older page images only.");
  }
  const std::uint32_t salt1 = DecodeField(header, wf::kSalt1Offset);
  const std::uint32_t salt2 = DecodeField(header, wf::kSalt2Offset);

  const std::uint64_t frameSize = wf::kFrameHeaderSize + pageSize;
  if (fileSize > wf::kHeaderSize) m_frames.reserve(static_cast<std::size_t>((fileSize - wf::kHeaderSize) / frameSize));
  std::vector<std::uint8_t> frame(frameSize);
  std::size_t committedFrameCount = 0;  // frames listed up to and including the last commit frame
  std::uint64_t frameNumber = 0;
  std::uint64_t offset = wf::kHeaderSize;
  // The loop ends at the end of the file: each turn moves one frame on.
  for (; fileSize - offset >= frameSize; offset += frameSize) {
    ++frameNumber;
    if (ReadExactlyAt(m_file.Get(), frame, offset)) {
      m_problems.push_back("Frame " + std::to_string(frameNumber) +
                           " of the write-ahead log could not be read; the frames from there on were not read.");
      return;
    }
    // The frame buffer holds a whole frame header and page image.
    const std::uint32_t pageNumber = DecodeField(frame, wf::kFramePageNumberOffset);
    const std::uint32_t databaseSize = DecodeField(frame, wf::kFrameDatabaseSizeOffset);
    bool valid = false;
    if (chainIntact) {
      const bool sameGeneration =
          DecodeField(frame, wf::kFrameSalt1Offset) == salt1 && DecodeField(frame, wf::kFrameSalt2Offset) == salt2;
      if (sameGeneration) {
        WalChecksum next = running;
        next.Add(std::span<const std::uint8_t>(frame).first(wf::kFrameHeaderChecksummedSize), bigEndian);
        next.Add(std::span<const std::uint8_t>(frame).subspan(wf::kFrameHeaderSize), bigEndian);
        valid = pageNumber != 0 && next.Matches(frame, wf::kFrameChecksum1Offset, wf::kFrameChecksum2Offset);
        if (valid) {
          running = next;
        } else {
          m_problems.push_back("Frame " + std::to_string(frameNumber) +
                               " of the write-ahead log fails its checksum; it and the frames behind it are read "
                               "as older page images only.");
        }
      }
      // Other salts: a frame left from before the log restarted.
      chainIntact = valid;
    }
    if (pageNumber == 0) continue;  // no page to name the image after
    m_frames.push_back({pageNumber, databaseSize, offset + wf::kFrameHeaderSize,
                        valid ? WalFrameState::kCommitted : WalFrameState::kStale});
    if (valid && databaseSize != 0) {
      committedFrameCount = m_frames.size();
      m_committedDatabaseSize = databaseSize;
    }
  }
  for (std::size_t i = committedFrameCount; i < m_frames.size(); ++i) {
    if (m_frames[i].state == WalFrameState::kCommitted) m_frames[i].state = WalFrameState::kUncommitted;
  }
  if (offset < fileSize) {
    m_problems.push_back("The write-ahead log ends inside frame " + std::to_string(frameNumber + 1) +
                         "; that frame was not read.");
  }
}

std::error_code WalFile::Read(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
  if (!m_file.IsOpen()) return kBadFile;
  return ReadExactlyAt(m_file.Get(), buffer, offset);
}

}  // namespace scrivel::sqlite
