// Column names from the text of a CREATE TABLE statement, for tables the
// application has no built-in layout for: the names label the values and
// their count recognises the table's deleted records.
#include <algorithm>
#include <array>
#include <cctype>

#include "core/sqlite/schema.h"

namespace scrivel::sqlite {

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string Upper(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  return result;
}

// Closing character of a quoted identifier or string that opens with `c`, or 0.
char ClosingQuote(char c) {
  switch (c) {
    case '"': return '"';
    case '\'': return '\'';
    case '`': return '`';
    case '[': return ']';
    default: return 0;
  }
}

// Splits the text between the first "(" and its matching ")" at the commas
// of the outermost level, skipping quoted text and comments.
std::vector<std::string_view> ColumnDefinitions(std::string_view sql) {
  std::vector<std::string_view> parts;
  std::size_t i = sql.find('(');
  if (i == std::string_view::npos) return parts;
  std::size_t partStart = ++i;
  int depth = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (const char close = ClosingQuote(c)) {
      const std::size_t end = sql.find(close, i + 1);
      if (end == std::string_view::npos) return parts;
      i = end + 1;
      continue;
    }
    if (sql.substr(i, 2) == "--") {
      const std::size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
      continue;
    }
    if (sql.substr(i, 2) == "/*") {
      const std::size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && depth-- == 0) {
      parts.push_back(sql.substr(partStart, i - partStart));
      return parts;
    }
    if (c == ',' && depth == 0) {
      parts.push_back(sql.substr(partStart, i - partStart));
      partStart = i + 1;
    }
    ++i;
  }
  return {};  // no closing parenthesis
}

// The first word of a definition, without its quotes; `*rest` gets the
// text behind it.
std::string FirstName(std::string_view definition, std::string_view* rest = nullptr) {
  std::size_t i = 0;
  while (i < definition.size() && IsSpace(definition[i])) ++i;
  if (rest) *rest = {};
  if (i == definition.size()) return "";
  std::size_t end = i;
  std::string name;
  if (const char close = ClosingQuote(definition[i])) {
    end = definition.find(close, i + 1);
    if (end == std::string_view::npos) return "";
    name = definition.substr(i + 1, end - i - 1);
    ++end;
  } else {
    while (end < definition.size() && !IsSpace(definition[end]) && definition[end] != '(') ++end;
    name = definition.substr(i, end - i);
  }
  if (rest) *rest = definition.substr(end);
  return name;
}

// Words that end the type name of a column definition.
constexpr std::array<std::string_view, 11> kColumnConstraintWords = {
    "CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK", "DEFAULT", "COLLATE", "REFERENCES", "GENERATED", "AS"};

// The declared type: the words behind the name up to the first constraint.
std::string DeclaredType(std::string_view rest) {
  std::string type;
  std::string_view remaining = rest;
  while (true) {
    std::string_view next;
    const std::string word = FirstName(remaining, &next);
    if (word.empty()) break;
    const std::string upper = Upper(word);
    if (std::find(kColumnConstraintWords.begin(), kColumnConstraintWords.end(), upper) != kColumnConstraintWords.end())
      break;
    if (!type.empty()) type += ' ';
    type += word;
    remaining = next;
    if (!remaining.empty() && remaining.front() == '(') {  // a size such as (10, 2)
      const std::size_t close = remaining.find(')');
      type += std::string(remaining.substr(0, close == std::string_view::npos ? remaining.size() : close + 1));
      remaining = close == std::string_view::npos ? std::string_view() : remaining.substr(close + 1);
    }
  }
  return type;
}

// True when the constraints behind a column's name hold NOT NULL (outside
// parentheses, so a CHECK (x IS NOT NULL) does not count).
bool DeclaresNotNull(std::string_view rest) {
  bool afterNot = false;
  std::string_view remaining = rest;
  while (!remaining.empty()) {
    if (IsSpace(remaining.front())) {
      remaining.remove_prefix(1);
      continue;
    }
    if (remaining.front() == '(') {
      int depth = 0;
      std::size_t i = 0;
      for (; i < remaining.size(); ++i) {
        if (remaining[i] == '(') ++depth;
        if (remaining[i] == ')' && --depth == 0) break;
      }
      remaining.remove_prefix(std::min(i + 1, remaining.size()));
      afterNot = false;
      continue;
    }
    std::string_view next;
    const std::string word = Upper(FirstName(remaining, &next));
    if (afterNot && word == "NULL") return true;
    afterNot = word == "NOT";
    // A word (or a quoted string) was read; otherwise step over one character.
    remaining = next.data() > remaining.data() ? next : remaining.substr(1);
  }
  return false;
}

// True when the text behind the column list's closing parenthesis says
// WITHOUT ROWID.
bool DeclaresWithoutRowId(std::string_view sql) {
  const std::size_t close = sql.rfind(')');
  if (close == std::string_view::npos) return false;
  const std::string tail = Upper(sql.substr(close + 1));
  const std::size_t without = tail.find("WITHOUT");
  return without != std::string::npos && tail.find("ROWID", without) != std::string::npos;
}

// Words that open a table constraint instead of a column definition.
constexpr std::array<std::string_view, 5> kConstraintWords = {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"};

bool IsTableConstraint(std::string_view definition) {
  std::size_t i = 0;
  while (i < definition.size() && IsSpace(definition[i])) ++i;
  if (i < definition.size() && ClosingQuote(definition[i])) return false;  // a quoted name is a column
  const std::string word = Upper(FirstName(definition));
  return std::find(kConstraintWords.begin(), kConstraintWords.end(), word) != kConstraintWords.end();
}

}  // namespace

std::vector<ColumnDefinition> CreateTableColumns(std::string_view sql) {
  std::vector<ColumnDefinition> columns;
  for (const std::string_view definition : ColumnDefinitions(sql)) {
    if (IsTableConstraint(definition)) continue;
    std::string_view rest;
    std::string name = FirstName(definition, &rest);
    if (!name.empty()) columns.push_back({std::move(name), DeclaredType(rest), DeclaresNotNull(rest)});
  }
  return columns;
}

// The affinity rules of SQLite, tried in this order.
ColumnAffinity AffinityOf(std::string_view declaredType) {
  const std::string type = Upper(declaredType);
  const auto has = [&](std::string_view part) { return type.find(part) != std::string::npos; };
  if (has("INT")) return ColumnAffinity::kInteger;
  if (has("CHAR") || has("CLOB") || has("TEXT")) return ColumnAffinity::kText;
  if (has("BLOB") || type.empty()) return ColumnAffinity::kBlob;
  if (has("REAL") || has("FLOA") || has("DOUB")) return ColumnAffinity::kReal;
  return ColumnAffinity::kNumeric;
}

namespace {

// The column declared "INTEGER PRIMARY KEY", which is the rowid itself.
int RowIdColumn(std::string_view sql, const std::vector<std::string>& columns) {
  const std::string upper = Upper(sql);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string name = Upper(columns[i]);
    for (std::size_t at = upper.find(name); at != std::string::npos; at = upper.find(name, at + 1)) {
      const bool wordStart = at == 0 || !(std::isalnum(static_cast<unsigned char>(upper[at - 1])) || upper[at - 1] == '_');
      if (!wordStart) continue;
      std::size_t p = at + name.size();
      while (p < upper.size() && (upper[p] == '"' || upper[p] == ']' || upper[p] == '`' || std::isspace(static_cast<unsigned char>(upper[p]))))
        ++p;
      if (upper.compare(p, 7, "INTEGER") != 0) continue;
      p += 7;
      while (p < upper.size() && std::isspace(static_cast<unsigned char>(upper[p]))) ++p;
      if (upper.compare(p, 7, "PRIMARY") == 0) return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

TableShape ShapeOf(std::string_view createTableSql) {
  TableShape shape;
  for (const ColumnDefinition& column : CreateTableColumns(createTableSql)) {
    shape.columns.push_back(column.name);
    shape.affinities.push_back(AffinityOf(column.declaredType));
    shape.notNull.push_back(column.notNull);
  }
  shape.withoutRowId = DeclaresWithoutRowId(createTableSql);
  // A WITHOUT ROWID table has no rowid for its INTEGER PRIMARY KEY to stand for.
  shape.rowIdColumn = shape.withoutRowId ? -1 : RowIdColumn(createTableSql, shape.columns);
  return shape;
}

}  // namespace scrivel::sqlite
