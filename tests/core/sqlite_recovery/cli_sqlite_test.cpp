// The `scrivel-cli sqlite` command, run as a program on a small database:
// its JSON shape, its row sources, and that it leaves the file untouched.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "test_database.h"

namespace scrivel::sqlite_recovery {
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
  EXPECT_NE(json.text.find("{\"name\": \"empty\", \"columns\": [\"x\"], \"rows\": []}"), std::string::npos);
  EXPECT_EQ(Count(json.text, "\"deleted\": false, \"page\": 2, \"source\": \"cell\""), 27u);
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

}  // namespace
}  // namespace scrivel::sqlite_recovery
