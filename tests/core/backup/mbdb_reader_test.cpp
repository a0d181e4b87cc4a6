#include "core/backup/mbdb_reader.h"

#include <gtest/gtest.h>

#include "backup_test_support.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

using testing::MbdbWriter;

MbdbRecord FullRecord() {
  MbdbRecord record;
  record.domain = "HomeDomain";
  record.path = "Library/SMS/sms.db";
  record.linkTarget = "";
  record.dataHash.assign(20, 0xAB);
  record.encryptionKey.assign(44, 0x00);
  record.encryptionKey[3] = 3;  // protection class 3 in front of the wrapped key
  for (std::size_t i = 4; i < record.encryptionKey.size(); ++i) record.encryptionKey[i] = static_cast<std::uint8_t>(i);
  record.mode = 0x81A4;
  record.inode = 0x0000000100000002ULL;
  record.userId = 501;
  record.groupId = 20;
  record.modificationTime = 1400000000;
  record.accessTime = 1400000001;
  record.creationTime = 1400000002;
  record.size = 0x123456789ULL;  // above 32 bits
  record.protectionClass = 4;
  record.properties = {{"com.apple.assetsd.UUID", std::string("\x01\x00\xff", 3)}, {"empty", ""}};
  return record;
}

void ExpectSameRecord(const MbdbRecord& expected, const MbdbRecord& actual) {
  EXPECT_EQ(expected.domain, actual.domain);
  EXPECT_EQ(expected.path, actual.path);
  EXPECT_EQ(expected.linkTarget, actual.linkTarget);
  EXPECT_EQ(expected.dataHash, actual.dataHash);
  EXPECT_EQ(expected.encryptionKey, actual.encryptionKey);
  EXPECT_EQ(expected.mode, actual.mode);
  EXPECT_EQ(expected.inode, actual.inode);
  EXPECT_EQ(expected.userId, actual.userId);
  EXPECT_EQ(expected.groupId, actual.groupId);
  EXPECT_EQ(expected.modificationTime, actual.modificationTime);
  EXPECT_EQ(expected.accessTime, actual.accessTime);
  EXPECT_EQ(expected.creationTime, actual.creationTime);
  EXPECT_EQ(expected.size, actual.size);
  EXPECT_EQ(expected.protectionClass, actual.protectionClass);
  EXPECT_EQ(expected.properties, actual.properties);
}

TEST(MbdbReader, ReadsEveryFieldOfRecordsInOrder) {
  MbdbRecord link;
  link.domain = "MediaDomain";
  link.path = "Media/link";
  link.linkTarget = "/var/mobile/Media/target";
  link.mode = 0xA1ED;
  MbdbWriter writer;
  writer.Add(FullRecord()).Add(link);

  std::vector<MbdbRecord> records;
  ASSERT_FALSE(ParseMbdb(writer.Bytes(), records));
  ASSERT_EQ(2u, records.size());
  ExpectSameRecord(FullRecord(), records[0]);
  ExpectSameRecord(link, records[1]);
  EXPECT_TRUE(records[0].IsRegularFile());
  EXPECT_TRUE(records[1].IsSymbolicLink());
  EXPECT_EQ(44u, records[0].encryptionKey.size());
}

TEST(MbdbReader, AbsentStringTakesExactlyTwoBytes) {
  // domain present, then four absent strings back to back: if an absent
  // string consumed any byte after its length, the mode would be misread.
  MbdbWriter writer;
  writer.PutString("D");
  writer.PutAbsentString();
  writer.PutAbsentString();
  writer.PutAbsentString();
  writer.PutAbsentString();
  writer.PutUint16(0x41ED);
  for (int i = 0; i < 7; ++i) writer.PutUint32(0);
  writer.PutUint64(7);
  writer.PutUint8(1);
  writer.PutUint8(0);

  std::vector<MbdbRecord> records;
  ASSERT_FALSE(ParseMbdb(writer.Bytes(), records));
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("D", records[0].domain);
  EXPECT_EQ("", records[0].path);
  EXPECT_TRUE(records[0].encryptionKey.empty());
  EXPECT_EQ(0x41ED, records[0].mode);
  EXPECT_TRUE(records[0].IsDirectory());
  EXPECT_EQ(7u, records[0].size);
}

TEST(MbdbReader, EveryTruncationEndsWithBadFileAndKeepsEarlierRecords) {
  MbdbWriter writer;
  writer.Add(FullRecord());
  const std::size_t firstRecordEnd = writer.Bytes().size();
  writer.Add(FullRecord());
  const std::vector<std::uint8_t> whole = writer.Bytes();

  // Each prefix is copied into a buffer of exactly its size, so a read past
  // the end shows up under the address sanitizer.
  for (std::size_t size = kMbdbHeaderSize + 1; size < whole.size(); ++size) {
    const std::vector<std::uint8_t> prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    std::vector<MbdbRecord> records;
    const std::error_code rc = ParseMbdb(prefix, records);
    if (size == firstRecordEnd) {
      EXPECT_FALSE(rc) << size;
      EXPECT_EQ(1u, records.size()) << size;
    } else {
      EXPECT_EQ(kBadFile, rc) << size;
      EXPECT_EQ(size < firstRecordEnd ? 0u : 1u, records.size()) << size;
    }
  }
}

TEST(MbdbReader, RejectsBadHeaders) {
  const std::vector<std::vector<std::uint8_t>> cases = {
      {},                              // empty file
      {'m', 'b', 'd', 'b', 5},         // version cut short
      {'m', 'b', 'd', 'x', 5, 0},      // wrong magic
      {'M', 'B', 'D', 'B', 5, 0},      // magic is case-sensitive
  };
  for (const auto& bytes : cases) {
    std::vector<MbdbRecord> records(1);
    EXPECT_EQ(kBadFile, ParseMbdb(bytes, records));
    EXPECT_TRUE(records.empty());
  }
  std::vector<MbdbRecord> records;
  EXPECT_FALSE(ParseMbdb(std::vector<std::uint8_t>{'m', 'b', 'd', 'b', 5, 0}, records));  // no records
  EXPECT_TRUE(records.empty());
}

TEST(MbdbReader, GarbledLengthsNeverReadPastTheBuffer) {
  // A string length that claims more bytes than the file holds, in each of
  // the string positions of the second record and in a property.
  for (int garbledString = 0; garbledString < 7; ++garbledString) {
    MbdbWriter writer;
    writer.Add("HomeDomain", "a", 0x81A4);
    MbdbRecord second = FullRecord();
    second.properties = {{"n", "v"}};
    std::vector<std::uint8_t> bytes = MbdbWriter(writer).Add(second).Bytes();
    // Walk the second record to the garbled string's length field: five
    // strings, then the fixed fields (mode 2, inode 8, five 4-byte fields,
    // size 8, protection class 1) and the property count (1), then the
    // property's name and value.
    std::size_t offset = writer.Bytes().size();
    for (int i = 0; i < garbledString; ++i) {
      const std::size_t length = (bytes[offset] << 8) | bytes[offset + 1];
      offset += 2 + (length == kMbdbAbsentString ? 0 : length);
      if (i == 4) offset += 2 + 8 + 5 * 4 + 8 + 1 + 1;
    }
    bytes[offset] = 0x7F;
    bytes[offset + 1] = 0xF0;

    std::vector<MbdbRecord> records;
    EXPECT_EQ(kBadFile, ParseMbdb(bytes, records)) << garbledString;
    EXPECT_EQ(1u, records.size()) << garbledString;
  }
}

TEST(MbdbReader, RecordReaderLeavesOffsetAloneOnFailure) {
  MbdbWriter writer;
  writer.Add(FullRecord());
  std::vector<std::uint8_t> bytes = writer.Bytes();
  bytes.pop_back();
  std::size_t offset = kMbdbHeaderSize;
  MbdbRecord record;
  EXPECT_EQ(kBadFile, ReadMbdbRecord(bytes, offset, record));
  EXPECT_EQ(kMbdbHeaderSize, offset);
  for (std::size_t pastEnd : {bytes.size(), bytes.size() + 1000}) {
    offset = pastEnd;
    EXPECT_EQ(kBadFile, ReadMbdbRecord(bytes, offset, record));
    EXPECT_EQ(pastEnd, offset);
  }
}

}  // namespace
}  // namespace scrivel
