// Reads the records of Manifest.mbdb; the layout is described in
// mbdb_reader.h. Every field read goes through a cursor that checks the
// remaining length first, so a damaged length can end the walk but never move
// a read past the end of the buffer.
#include "core/backup/mbdb_reader.h"

#include <cstring>

#include "core/common/result_codes.h"

namespace scrivel {
namespace {

constexpr char kMbdbMagic[kMbdbMagicSize] = {'m', 'b', 'd', 'b'};

// Copies `length` bytes into a text or byte field, reusing its buffer.
void AssignBytes(const std::uint8_t* data, std::size_t length, std::string& out) {
  out.assign(reinterpret_cast<const char*>(data), length);
}
void AssignBytes(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out) {
  out.assign(data, data + length);
}

// A checked reader over [position, end) of the file image. Each Read* returns
// false, without moving, when fewer bytes remain than the field needs.
class MbdbCursor {
 public:
  MbdbCursor(std::span<const std::uint8_t> bytes, std::size_t position)
      : m_bytes(bytes), m_position(position) {}

  std::size_t Position() const { return m_position; }

  bool ReadUint8(std::uint8_t& out) {
    if (Remaining() < 1) return false;
    out = m_bytes[m_position];
    m_position += 1;
    return true;
  }

  bool ReadUint16(std::uint16_t& out) {
    if (Remaining() < 2) return false;
    out = static_cast<std::uint16_t>((m_bytes[m_position] << 8) | m_bytes[m_position + 1]);
    m_position += 2;
    return true;
  }

  bool ReadUint32(std::uint32_t& out) {
    if (Remaining() < 4) return false;
    out = 0;
    for (std::size_t i = 0; i < 4; ++i) out = (out << 8) | m_bytes[m_position + i];
    m_position += 4;
    return true;
  }

  bool ReadUint64(std::uint64_t& out) {
    std::uint32_t high = 0;
    std::uint32_t low = 0;
    if (Remaining() < 8) return false;
    (void)ReadUint32(high);
    (void)ReadUint32(low);
    out = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
  }

  // string: uint16 length, then that many bytes; length 0xFFFF = absent
  // (no bytes follow). Absent and empty strings both read as empty.
  template <typename Bytes>
  bool ReadString(Bytes& out) {
    std::uint16_t length = 0;
    const std::size_t start = m_position;
    if (!ReadUint16(length)) return false;
    if (length == kMbdbAbsentString) {
      out.clear();
      return true;
    }
    if (Remaining() < length) {
      m_position = start;
      return false;
    }
    AssignBytes(m_bytes.data() + m_position, length, out);
    m_position += length;
    return true;
  }

 private:
  std::size_t Remaining() const { return m_bytes.size() - m_position; }

  std::span<const std::uint8_t> m_bytes;
  std::size_t m_position;  // offset of the next unread byte; never above m_bytes.size()
};

// Reads the fixed-size middle of a record, from mode to protection class.
bool ReadRecordFixedFields(MbdbCursor& cursor, MbdbRecord& out) {
  return cursor.ReadUint16(out.mode) && cursor.ReadUint64(out.inode) && cursor.ReadUint32(out.userId) &&
         cursor.ReadUint32(out.groupId) && cursor.ReadUint32(out.modificationTime) &&
         cursor.ReadUint32(out.accessTime) && cursor.ReadUint32(out.creationTime) &&
         cursor.ReadUint64(out.size) && cursor.ReadUint8(out.protectionClass);
}

bool ReadRecordProperties(MbdbCursor& cursor, MbdbRecord& out) {
  std::uint8_t propertyCount = 0;
  if (!cursor.ReadUint8(propertyCount)) return false;
  out.properties.resize(propertyCount);
  for (auto& [name, value] : out.properties) {
    if (!cursor.ReadString(name) || !cursor.ReadString(value)) return false;
  }
  return true;
}

}  // namespace

std::error_code CheckMbdbHeader(std::span<const std::uint8_t> bytes) {
  // magic: "mbdb", followed by the 2-byte version
  if (bytes.size() < kMbdbHeaderSize) return kBadFile;
  if (std::memcmp(bytes.data(), kMbdbMagic, kMbdbMagicSize) != 0) return kBadFile;
  return {};
}

std::error_code ReadMbdbRecord(std::span<const std::uint8_t> bytes, std::size_t& offset, MbdbRecord& out) {
  if (offset >= bytes.size()) return kBadFile;  // no record starts at or past the end
  MbdbCursor cursor(bytes, offset);
  const bool complete = cursor.ReadString(out.domain) && cursor.ReadString(out.path) &&
                        cursor.ReadString(out.linkTarget) && cursor.ReadString(out.dataHash) &&
                        cursor.ReadString(out.encryptionKey) && ReadRecordFixedFields(cursor, out) &&
                        ReadRecordProperties(cursor, out);
  // A record cut off by the end of the file: every field after the cut would
  // be read from bytes that are not there (tests: TruncatedFile*).
  if (!complete) return kBadFile;
  offset = cursor.Position();
  return {};
}

std::error_code ParseMbdb(std::span<const std::uint8_t> bytes, std::vector<MbdbRecord>& out) {
  out.clear();
  if (const std::error_code rc = CheckMbdbHeader(bytes); rc) return rc;
  std::size_t offset = kMbdbHeaderSize;
  MbdbRecord record;
  // Each record consumes at least one byte (a domain length), so the walk ends.
  while (offset < bytes.size()) {
    if (const std::error_code rc = ReadMbdbRecord(bytes, offset, record); rc) return rc;
    out.push_back(record);
  }
  return {};
}

}  // namespace scrivel
