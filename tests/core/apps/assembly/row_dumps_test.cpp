// The lines of "sms.csv" and "Contacts.csv", from hand-made records.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/apps/contacts_dump.h"
#include "core/apps/messages_dump.h"
#include "core/sqlite/record.h"

namespace scrivel::apps {
namespace {

// One column of a hand-made record.
struct Value {
  std::uint64_t serialType = 0;
  std::vector<std::uint8_t> bytes;
};

Value Null() { return {0, {}}; }
Value Int8(std::uint8_t v) { return {1, {v}}; }
Value Int16(std::uint16_t v) { return {2, {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)}}; }
Value Constant(int one) { return {one ? 9u : 8u, {}}; }
Value Text(std::string_view text) {
  return {13 + 2 * text.size(), std::vector<std::uint8_t>(text.begin(), text.end())};
}
Value Blob(std::vector<std::uint8_t> bytes) { return {12 + 2 * bytes.size(), std::move(bytes)}; }
Value Float() { return {7, std::vector<std::uint8_t>(8, 0)}; }

void AppendVarint(std::vector<std::uint8_t>& out, std::uint64_t value) {
  std::uint8_t groups[10];
  int count = 0;
  do {
    groups[count++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(groups[i] | (i > 0 ? 0x80 : 0)));
}

// Serial types then values, without a header-size varint: the shape of a
// deleted-record candidate.
std::vector<std::uint8_t> CandidateBytes(const std::vector<Value>& values) {
  std::vector<std::uint8_t> out;
  for (const Value& value : values) AppendVarint(out, value.serialType);
  for (const Value& value : values) out.insert(out.end(), value.bytes.begin(), value.bytes.end());
  return out;
}

// A live record: header-size varint, serial types, values.
std::vector<std::uint8_t> LiveBytes(const std::vector<Value>& values) {
  std::vector<std::uint8_t> types;
  for (const Value& value : values) AppendVarint(types, value.serialType);
  std::vector<std::uint8_t> out;
  AppendVarint(out, types.size() + 1);  // fits one byte in these tests
  out.insert(out.end(), types.begin(), types.end());
  for (const Value& value : values) out.insert(out.end(), value.bytes.begin(), value.bytes.end());
  return out;
}

// A 38-column "message" row: ROWID NULL, guid, text, then the usual values.
std::vector<Value> MessageColumns(std::string_view text, int fromMe) {
  std::vector<Value> columns(38, Constant(0));
  columns[0] = Null();
  columns[1] = Text("A1B2C3D4-0000-1111-2222-333344445555");
  columns[2] = Text(text);
  columns[5] = Int8(3);
  columns[8] = Blob({0x80, 0x22});
  columns[11] = Text("SMS");
  columns[13] = Text("8A3F1C2B-1111-2222-3333-444455556666");  // 36 characters
  columns[15] = Int16(0x1234);
  columns[21] = Constant(fromMe);
  columns[35] = Null();
  columns[37] = Constant(1);
  return columns;
}

std::optional<std::string> LiveMessageLine(const std::vector<Value>& columns, std::uint64_t rowId) {
  const std::vector<std::uint8_t> bytes = LiveBytes(columns);
  const auto layout = sqlite::LiveRecordLayout(bytes);
  if (!layout) return std::nullopt;
  return FormatMessageRow(bytes, *layout, MessageRowContext{false, rowId, 0});
}

std::optional<std::string> DeletedMessageLine(const std::vector<Value>& columns, std::uint64_t rowNumber,
                                              std::int64_t now) {
  const std::vector<std::uint8_t> bytes = CandidateBytes(columns);
  const auto layout = sqlite::CandidateRecordLayout(bytes, columns.size());
  if (!layout) return std::nullopt;
  return FormatMessageRow(bytes, *layout, MessageRowContext{true, rowNumber, now});
}

// The fields of a line: the text between commas (quoted fields hold no comma here).
std::vector<std::string> SplitFields(std::string line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

TEST(FormatMessageRow, LiveRowFieldsInColumnOrder) {
  const auto line = LiveMessageLine(MessageColumns("say \"hi\" it's", 0), 17);
  ASSERT_TRUE(line);
  const std::string expectedStart =
      "17,\"A1B2C3D4-0000-1111-2222-333344445555\",\"say \"\"hi\"\" it's\",0,0,3,0,0,8022,0,0,\"SMS\",0,"
      "\"8A3F1C2B-1111-2222-3333-444455556666\",0,4660,";
  EXPECT_EQ(line->substr(0, expectedStart.size()), expectedStart);
  // Constants have no comma in the last column; the line ends in CRLF.
  EXPECT_EQ(line->substr(line->size() - 12), "0,NULL,0,1\r\n");
}

TEST(FormatMessageRow, DeletedRowGetsGeneratedGuidAndReinsertValues) {
  struct Case {
    int fromMe;
    const char* dateRead;
    const char* isRead;
  };
  const Case cases[] = {{0, "600000000", "1"}, {1, "0", "0"}};
  for (const Case& c : cases) {
    const auto line = DeletedMessageLine(MessageColumns("gone", c.fromMe), 0x1ABCD, 600000000);
    ASSERT_TRUE(line) << c.fromMe;
    const std::vector<std::string> fields = SplitFields(*line);
    EXPECT_EQ(fields[0], "109517");  // the row number stands for the NULL primary key
    EXPECT_EQ(fields[1], "\"27B99F78-F6F0-475F-8BA1-00000001ABCD\"");
    EXPECT_EQ(fields[2], "\"gone\"");
    EXPECT_EQ(fields[15], "600000000");
    EXPECT_EQ(fields[16], c.dateRead);
    EXPECT_EQ(fields[19], "1");
    EXPECT_EQ(fields[26], c.isRead);
  }
}

TEST(FormatMessageRow, CandidateStartingAtColumnOneBeginsWithTheGuid) {
  std::vector<Value> columns = MessageColumns("partial", 0);
  columns.erase(columns.begin());  // column 0's serial type was overwritten
  const std::vector<std::uint8_t> bytes = CandidateBytes(columns);
  const auto layout = sqlite::CandidateRecordLayout(bytes, 38);
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->firstColumn, 1);
  const auto line = FormatMessageRow(bytes, *layout, MessageRowContext{true, 20001, 5});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind("\"27B99F78-F6F0-475F-8BA1-000000004E21\",\"partial\",", 0), 0u) << *line;
}

TEST(FormatMessageRow, RowsThatAreLeftOut) {
  std::vector<Value> shortAccount = MessageColumns("x", 0);
  shortAccount[13] = Text("8A3F1C2B-1111-2222-3333-44445555666");  // 35 characters
  EXPECT_FALSE(DeletedMessageLine(shortAccount, 1, 0));
  EXPECT_TRUE(LiveMessageLine(shortAccount, 1));  // only deleted rows are tested

  std::vector<Value> outOfRange = MessageColumns("x", 0);
  outOfRange[13] = Text("8A3F1C2B-1111-2222-3333-44445555666{");  // '{' lies above 'z'
  EXPECT_FALSE(DeletedMessageLine(outOfRange, 1, 0));

  std::vector<Value> nullAccount = MessageColumns("x", 0);
  nullAccount[13] = Null();
  const auto line = DeletedMessageLine(nullAccount, 1, 0);
  ASSERT_TRUE(line);
  EXPECT_EQ(SplitFields(*line)[13], "NULL");

  // A text that is not real text leaves a deleted row out; a live row is
  // the database's own and keeps its bytes, quoted as always.
  for (const char* badText : {"bad \xff byte", "with \xef\xbf\xbd mark", "nul\0inside"}) {
    std::vector<Value> columns = MessageColumns("", 0);
    const std::string_view text(badText, badText[0] == 'n' ? 10 : std::char_traits<char>::length(badText));
    columns[2] = Text(text);
    EXPECT_FALSE(DeletedMessageLine(columns, 1, 0)) << badText;
    const auto live = LiveMessageLine(columns, 1);
    ASSERT_TRUE(live) << badText;
    EXPECT_NE(live->find("\"" + std::string(text) + "\""), std::string::npos) << badText;
  }

  // A value that runs past the bytes.
  std::vector<std::uint8_t> bytes = LiveBytes(MessageColumns("truncated text", 0));
  bytes.resize(bytes.size() - 3);
  const auto layout = sqlite::LiveRecordLayout(bytes);
  ASSERT_TRUE(layout);
  EXPECT_FALSE(FormatMessageRow(bytes, *layout, MessageRowContext{false, 1, 0}));
}

TEST(FormatContactRow, FieldsAndSeparators) {
  // docid, first, last, then NULLs, a number, a float, a blob and the phone text at 16.
  std::vector<Value> columns(24, Null());
  columns[1] = Text("Ann");
  columns[2] = Text("O'Neil");
  columns[3] = Int8(7);
  columns[4] = Float();
  columns[5] = Blob({1, 2});
  columns[6] = Constant(1);
  columns[7] = Text("");
  columns[16] = Text("+1 (408) 555-1234 14085551234 ");
  columns[23] = Text("last");
  const std::vector<std::uint8_t> bytes = LiveBytes(columns);
  const auto layout = sqlite::LiveRecordLayout(bytes);
  ASSERT_TRUE(layout);
  const auto line = FormatContactRow(bytes, *layout, 42, false);
  ASSERT_TRUE(line);
  EXPECT_EQ(*line,
            "42,\"Ann\",\"O'Neil\",7,,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,\"'+1 (408) 555-1234 14085551234 \","
            "NULL,NULL,NULL,NULL,NULL,NULL,\"last\"\r\n");

  columns[23] = Null();
  const std::vector<std::uint8_t> nullLast = LiveBytes(columns);
  const auto nullLastLine = FormatContactRow(nullLast, *sqlite::LiveRecordLayout(nullLast), 42, false);
  ASSERT_TRUE(nullLastLine);
  EXPECT_EQ(nullLastLine->substr(nullLastLine->size() - 7), ",NULL\r\n");

  // Every text of a deleted row must be real text; a live row keeps its bytes.
  columns[17] = Text("bad \xc3");
  const std::vector<std::uint8_t> bad = LiveBytes(columns);
  EXPECT_FALSE(FormatContactRow(bad, *sqlite::LiveRecordLayout(bad), 42, true));
  const auto liveBad = FormatContactRow(bad, *sqlite::LiveRecordLayout(bad), 42, false);
  ASSERT_TRUE(liveBad);
  EXPECT_NE(liveBad->find("\"bad \xc3\""), std::string::npos);
}

TEST(FormatContactRow, DeletedRowNumberStandsInFront) {
  std::vector<Value> columns(24, Null());
  columns[1] = Text("Bo");
  const std::vector<std::uint8_t> bytes = CandidateBytes(columns);
  const auto layout = sqlite::CandidateRecordLayout(bytes, 24);
  ASSERT_TRUE(layout);
  const auto line = FormatContactRow(bytes, *layout, 20001, true);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind("20001,\"Bo\",NULL,", 0), 0u) << *line;
}

}  // namespace
}  // namespace scrivel::apps
