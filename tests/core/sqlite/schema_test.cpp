#include "core/sqlite/schema.h"

#include <gtest/gtest.h>

#include "core/common/result_codes.h"
#include "core/sqlite/btree_walk.h"
#include "core/sqlite/page_set.h"
#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::CreateDatabase;
using testing::Put32;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(SchemaTest, FindsTheTableAndItsIndexesButNotViews) {
  TempFolder folder;
  const auto path = folder.Path("roots.db");
  CreateDatabase(path, 1024,
                 "CREATE TABLE other(x);"
                 "CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT, b TEXT);"
                 "CREATE INDEX t_a ON t(a); CREATE INDEX t_b ON t(b);"
                 "CREATE VIEW v AS SELECT * FROM t;"
                 "CREATE TRIGGER tr AFTER INSERT ON t BEGIN SELECT 1; END;");
  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path.string()));
  std::vector<std::uint32_t> roots;
  ASSERT_FALSE(FindTableRoots(reader, "t", &roots));
  EXPECT_EQ(roots.size(), 3u);
  ASSERT_FALSE(FindTableRoots(reader, "T", &roots));  // names keep their letter case
  EXPECT_TRUE(roots.empty());
  ASSERT_FALSE(FindTableRoots(reader, "absent", &roots));
  EXPECT_TRUE(roots.empty());
}

TEST(SchemaTest, ReadsASchemaSpreadOverInteriorPages) {
  TempFolder folder;
  const auto path = folder.Path("many.db");
  std::string sql;
  for (int i = 0; i < 300; ++i)
    sql += "CREATE TABLE table_with_a_long_name_" + std::to_string(i) + "(first_column TEXT, second_column INTEGER);";
  CreateDatabase(path, 512, sql);
  ASSERT_NE(ReadBytes(path)[100], 13) << "page 1 should have become an interior page";
  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path.string()));
  std::vector<SchemaEntry> entries;
  ASSERT_FALSE(ReadSchema(reader, &entries));
  EXPECT_EQ(entries.size(), 300u);
  std::vector<std::uint32_t> roots;
  ASSERT_FALSE(FindTableRoots(reader, "table_with_a_long_name_299", &roots));
  EXPECT_EQ(roots.size(), 1u);
}

TEST(SchemaTest, WalksEndOnCyclicAndSelfReferencingTrees) {
  TempFolder folder;
  const auto path = folder.Path("cycle.db");
  CreateDatabase(path, 512,
                 "CREATE TABLE t(a TEXT);"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<200)"
                 "  INSERT INTO t SELECT printf('%050d', x) FROM c;");
  std::vector<std::uint8_t> bytes = ReadBytes(path);
  const std::size_t root = 512;  // table t's root is page 2, an interior page
  ASSERT_EQ(bytes[root], 5);
  Put32(bytes, root + 8, 2);            // the right-most child is the root itself
  const std::size_t firstCell = (bytes[root + 12] << 8) | bytes[root + 13];
  Put32(bytes, root + firstCell, 1);    // a child that is page 1 (the schema)
  WriteBytes(path, bytes);

  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path.string()));
  PageSet visited(reader.PageCount());
  PageSet leaves(reader.PageCount());
  EXPECT_FALSE(CollectLeafPages(reader, 1, visited, leaves));
  EXPECT_FALSE(leaves.Contains(1));
  EXPECT_GT(leaves.Ascending().size(), 5u);
}

TEST(SchemaTest, CreateTableColumnsNamesEveryColumn) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"CREATE TABLE t(a, b INTEGER, c TEXT DEFAULT 'x,y')", {"a", "b", "c"}},
      {"CREATE TABLE t (\"quoted name\" TEXT, [br] INT, `bt` REAL, d NUMERIC(10, 2))",
       {"quoted name", "br", "bt", "d"}},
      {"CREATE TABLE t(id INTEGER PRIMARY KEY, k TEXT, UNIQUE(k), CONSTRAINT c CHECK (id > 0),"
       " PRIMARY KEY (id), FOREIGN KEY (k) REFERENCES o(k))",
       {"id", "k"}},
      {"CREATE TABLE t(a -- comment, with comma\n, b /* x, y */)", {"a", "b"}},
      {"CREATE TABLE t(a", {}},
      {"not sql", {}},
  };
  for (const auto& [sql, columns] : cases) {
    std::vector<std::string> names;
    for (const ColumnDefinition& column : CreateTableColumns(sql)) names.push_back(column.name);
    EXPECT_EQ(names, columns) << sql;
  }
}

TEST(SchemaTest, DeclaredTypesGiveSqlitesAffinities) {
  const auto columns = CreateTableColumns(
      "CREATE TABLE t(a INTEGER PRIMARY KEY, b VARCHAR(20) NOT NULL, c, d DOUBLE PRECISION DEFAULT 0,"
      " e NUMERIC(10, 2), f BLOB, \"g h\" TEXT COLLATE NOCASE, i BIGINT UNIQUE)");
  ASSERT_EQ(columns.size(), 8u);
  const std::pair<std::string, ColumnAffinity> expected[] = {
      {"INTEGER", ColumnAffinity::kInteger}, {"VARCHAR(20)", ColumnAffinity::kText},
      {"", ColumnAffinity::kBlob},           {"DOUBLE PRECISION", ColumnAffinity::kReal},
      {"NUMERIC(10, 2)", ColumnAffinity::kNumeric}, {"BLOB", ColumnAffinity::kBlob},
      {"TEXT", ColumnAffinity::kText},       {"BIGINT", ColumnAffinity::kInteger},
  };
  for (std::size_t i = 0; i < columns.size(); ++i) {
    EXPECT_EQ(columns[i].declaredType, expected[i].first) << i;
    EXPECT_EQ(AffinityOf(columns[i].declaredType), expected[i].second) << i;
  }
  EXPECT_EQ(columns[6].name, "g h");
}

TEST(SchemaTest, ShapeOfReadsNotNullRowIdAliasAndWithoutRowId) {
  struct Case {
    const char* sql;
    std::vector<bool> notNull;
    int rowIdColumn;
    bool withoutRowId;
  };
  const Case cases[] = {
      {"CREATE TABLE t(id INTEGER PRIMARY KEY NOT NULL, a TEXT NOT NULL DEFAULT 'NOT NULL', b INT)",
       {true, true, false}, 0, false},
      {"CREATE TABLE t(a TEXT CHECK (a IS NOT NULL), b BLOB NOT\nNULL, c REAL NULL)", {false, true, false}, -1, false},
      {"CREATE TABLE t(a TEXT DEFAULT 'not null', b INT CONSTRAINT nn NOT NULL ON CONFLICT FAIL)", {false, true}, -1, false},
      {"CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT NOT NULL) WITHOUT ROWID", {false, true}, -1, true},
      {"CREATE TABLE t(k TEXT, v, PRIMARY KEY (k)) without rowid", {false, false}, -1, true},
  };
  for (const Case& c : cases) {
    const TableShape shape = ShapeOf(c.sql);
    EXPECT_EQ(shape.notNull, c.notNull) << c.sql;
    EXPECT_EQ(shape.rowIdColumn, c.rowIdColumn) << c.sql;
    EXPECT_EQ(shape.withoutRowId, c.withoutRowId) << c.sql;
  }
}

}  // namespace
}  // namespace scrivel::sqlite
