// The `scrivel-cli sqlite` command, run as a program on a small database:
// its JSON shape, its row sources, and that it leaves the file untouched.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::CreateDatabase;
using testing::ReadBytes;
using testing::TempFolder;

struct Output {
  int status = -1;
  std::string text;
};

Output RunCli(const std::string& arguments) {
  Output output;
  const std::string command = std::string(SCRIVEL_TEST_BIN_DIR) + "/scrivel-cli sqlite " + arguments + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.text.append(buffer, got);
  output.status = ::pclose(pipe);
  return output;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(CliSqliteTest, ListsLiveAndDeletedRowsAsJson) {
  if (!std::filesystem::exists(std::string(SCRIVEL_TEST_BIN_DIR) + "/scrivel-cli")) GTEST_SKIP() << "scrivel-cli not built";
  TempFolder folder;
  const auto path = folder.Path("people.db");
  CreateDatabase(path, 4096,
                 "CREATE TABLE people(id INTEGER PRIMARY KEY, name TEXT, score REAL, photo BLOB);"
                 "CREATE TABLE empty(x TEXT);"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<30)"
                 "  INSERT INTO people(name, score, photo) SELECT 'person \"' || x || '\"', x + 0.5, X'00FF' FROM c;"
                 "DELETE FROM people WHERE id % 10 = 0;");
  const std::vector<std::uint8_t> before = ReadBytes(path);

  const Output json = RunCli(path.string() + " --json");
  ASSERT_EQ(json.status, 0) << json.text;
  EXPECT_EQ(json.text.rfind("{\"file\": ", 0), 0u) << json.text.substr(0, 200);
  EXPECT_NE(json.text.find("\"page_size\": 4096"), std::string::npos);
  EXPECT_NE(json.text.find("{\"name\": \"people\", \"columns\": [\"id\", \"name\", \"score\", \"photo\"]"), std::string::npos);
  EXPECT_NE(json.text.find("\"wal\": false"), std::string::npos);
  EXPECT_NE(json.text.find("{\"name\": \"empty\", \"columns\": [\"x\"], \"dropped\": false, \"rows\": []}"),
            std::string::npos);
  EXPECT_EQ(Count(json.text, "\"deleted\": false, \"partial\": false, \"page\": 2, \"source\": \"cell\""), 27u);
  EXPECT_NE(json.text.find("{\"name\": \"lost_and_found\", \"columns\": []"), std::string::npos);
  EXPECT_NE(json.text.find("\"damaged_pages\": []}"), std::string::npos);
  EXPECT_EQ(Count(json.text, "\"deleted\": true"), 3u);
  EXPECT_NE(json.text.find("[7, \"person \\\"7\\\"\", 7.5, {\"blob\": \"00ff\"}]"), std::string::npos);
  EXPECT_NE(json.text.find("[null, \"person \\\"20\\\"\", 20.5, {\"blob\": \"00ff\"}]"), std::string::npos);

  const Output text = RunCli(path.string() + " people");
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.text.find("27 live, 3 deleted"), std::string::npos) << text.text;
  EXPECT_EQ(text.text.find("table empty"), std::string::npos);

  EXPECT_EQ(ReadBytes(path), before);  // read-only
}

TEST(CliSqliteTest, RefusesWhatItCannotRead) {
  if (!std::filesystem::exists(std::string(SCRIVEL_TEST_BIN_DIR) + "/scrivel-cli")) GTEST_SKIP() << "scrivel-cli not built";
  TempFolder folder;
  testing::WriteBytes(folder.Path("text.db"), {'h', 'e', 'l', 'l', 'o'});
  EXPECT_NE(RunCli(folder.Path("text.db").string()).status, 0);
  EXPECT_NE(RunCli(folder.Path("missing.db").string()).status, 0);
  CreateDatabase(folder.Path("ok.db"), 1024, "CREATE TABLE a(x);");
  const Output unknown = RunCli(folder.Path("ok.db").string() + " nosuchtable");
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.text.find("no table 'nosuchtable'"), std::string::npos);
}

// Damages a copy of a small sound database in one named way.
struct Damage {
  const char* what;
  void (*apply)(std::vector<std::uint8_t>& bytes);
  int exitCode;         // 1: not even the schema could be read
  const char* message;  // what standard error must say
};

void SetRootPagesOutsideTheFile(std::vector<std::uint8_t>& bytes) {
  // The schema rows' rootpage values are the one-byte integers 2 and 3,
  // each the last byte before the SQL text "CREATE TABLE".
  const std::string create = "CREATE TABLE";
  for (std::size_t at = 1; at + create.size() < bytes.size(); ++at) {
    if (std::equal(create.begin(), create.end(), bytes.begin() + at) && (bytes[at - 1] == 2 || bytes[at - 1] == 3))
      bytes[at - 1] = 99;
  }
}

TEST(CliSqliteTest, SaysWhatIsWrongWithHopelessFiles) {
  if (!std::filesystem::exists(std::string(SCRIVEL_TEST_BIN_DIR) + "/scrivel-cli")) GTEST_SKIP() << "scrivel-cli not built";
  TempFolder folder;
  CreateDatabase(folder.Path("sound.db"), 1024, "CREATE TABLE a(x); INSERT INTO a VALUES('one'); CREATE TABLE b(y);");
  const std::vector<std::uint8_t> sound = ReadBytes(folder.Path("sound.db"));
  const Damage damages[] = {
      {"page-size field 768", [](auto& b) { b[16] = 0x03; b[17] = 0x00; }, 1,
       "its page-size field holds 768, not a power of two from 512 to 65536"},
      {"schema page type byte", [](auto& b) { b[100] = 0xFF; }, 1,
       "page 1, the root of the schema, is not a table b-tree page (its type byte is 0xff)"},
      {"99-byte file", [](auto& b) { b.resize(99); }, 1, "the file is 99 bytes long, shorter than one page of 1024 bytes"},
      {"empty file", [](auto& b) { b.clear(); }, 1, "the file is empty"},
      {"not a database", [](auto& b) { b.assign(2048, 'x'); }, 1, "it is not an SQLite database"},
      {"root pages outside the file", SetRootPagesOutsideTheFile, 0,
       "table 'a': its root page 99 lies outside the file, which has 3 pages"},
  };
  for (const Damage& damage : damages) {
    std::vector<std::uint8_t> bytes = sound;
    damage.apply(bytes);
    testing::WriteBytes(folder.Path("damaged.db"), bytes);
    const Output output = RunCli(folder.Path("damaged.db").string());
    EXPECT_EQ(WEXITSTATUS(output.status), damage.exitCode) << damage.what << "\n" << output.text;
    EXPECT_NE(output.text.find(damage.message), std::string::npos) << damage.what << "\n" << output.text;
    EXPECT_EQ(output.text.find("(87)"), std::string::npos) << damage.what;
  }
  const Output missing = RunCli(folder.Path("missing.db").string());
  EXPECT_NE(missing.text.find("No such file or directory"), std::string::npos) << missing.text;
}

TEST(CliSqliteTest, PrintsControlCharactersOfNamesAndValuesEscaped) {
  if (!std::filesystem::exists(std::string(SCRIVEL_TEST_BIN_DIR) + "/scrivel-cli")) GTEST_SKIP() << "scrivel-cli not built";
  TempFolder folder;
  CreateDatabase(folder.Path("escapes.db"), 1024,
                 "CREATE TABLE \"t\x1b]0;title\x07\"(\"c\x1b[2J\\\");"
                 "INSERT INTO \"t\x1b]0;title\x07\" VALUES('\x1b[31mred\xc2\x9b\r\n\"');");
  const Output text = RunCli(folder.Path("escapes.db").string());
  EXPECT_EQ(WEXITSTATUS(text.status), 0) << text.text;
  EXPECT_EQ(text.text.find_first_of("\x1b\x07\r"), std::string::npos) << text.text;
  EXPECT_EQ(text.text.find("\xc2\x9b"), std::string::npos) << text.text;
  EXPECT_NE(text.text.find("table t\\x1b]0;title\\x07 (1 columns: c\\x1b[2J\\\\)"), std::string::npos) << text.text;
  EXPECT_NE(text.text.find("\"\\x1b[31mred\\u009b\\r\\n\\\"\""), std::string::npos) << text.text;
}

}  // namespace
}  // namespace scrivel::sqlite
