// scrivel-cli sqlite: lists the live rows of the tables of one SQLite
// database file and every deleted row still found in it (its free space,
// freelist, dropped tables, write-ahead log and rollback journal), each
// value decoded by its serial type. Reads the file page by page without a
// database engine and never writes to it or beside it.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/terminal_text.h"
#include "core/common/json_text.h"
#include "core/common/utf8.h"
#include "core/sqlite/database_recovery.h"
#include "core/sqlite/file_problems.h"
#include "core/sqlite/record.h"

namespace scrivel::cli {
namespace {

namespace sq = scrivel::sqlite;

struct SqliteOptions {
  std::string file;
  std::vector<std::string> tables;  // empty: every table, and the lost and found
  bool json = false;
  bool deletedOnly = false;
  bool noWal = false;
};

constexpr char kHexDigits[] = "0123456789abcdef";

std::string Hex(sq::Bytes bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
  }
  return text;
}

std::string FormatDouble(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// One value of a row, as the output shows it.
struct ShownValue {
  enum class Kind { kNull, kInteger, kReal, kText, kBlob } kind = Kind::kNull;
  std::string text;  // the number, the UTF-8 text, or the blob's hex digits
};

// The values of a row: as many as the table has columns (missing trailing
// values are NULL), or as many as the record holds for a row of no table.
// The INTEGER PRIMARY KEY column shows the rowid when the cell kept it.
std::vector<ShownValue> ValuesOf(const sq::RecoveredTable& table, const sq::RecoveredRow& row) {
  std::vector<ShownValue> values(table.shape.columns.size());
  const auto layout = sq::LiveRecordLayout(row.record);
  if (layout) {
    (void)sq::ForEachColumn(row.record, *layout, [&](int column, const sq::ColumnValue& value) {
      const auto index = static_cast<std::size_t>(column);
      if (index >= values.size()) {
        if (!table.shape.columns.empty()) return;  // more values than the table has columns
        values.resize(index + 1);
      }
      ShownValue& shown = values[index];
      if (value.IsInteger()) {
        shown = {ShownValue::Kind::kInteger, std::to_string(value.Integer())};
      } else if (value.IsFloat()) {
        shown = {ShownValue::Kind::kReal, FormatDouble(value.Float())};
      } else if (value.IsText()) {
        shown = {ShownValue::Kind::kText, SanitizeUtf8(value.Text())};
      } else if (value.IsBlob()) {
        shown = {ShownValue::Kind::kBlob, Hex(value.bytes)};
      }
    });
  }
  const int rowIdColumn = table.shape.rowIdColumn;
  if (row.rowId && rowIdColumn >= 0 && static_cast<std::size_t>(rowIdColumn) < values.size() &&
      values[static_cast<std::size_t>(rowIdColumn)].kind == ShownValue::Kind::kNull)
    values[static_cast<std::size_t>(rowIdColumn)] = {ShownValue::Kind::kInteger, std::to_string(*row.rowId)};
  return values;
}

std::string JsonValue(const ShownValue& value) {
  switch (value.kind) {
    case ShownValue::Kind::kNull: return "null";
    case ShownValue::Kind::kInteger: return value.text;
    case ShownValue::Kind::kReal: {
      const double real = std::strtod(value.text.c_str(), nullptr);
      return std::isfinite(real) ? value.text : "null";
    }
    case ShownValue::Kind::kText: return JsonString(value.text);
    case ShownValue::Kind::kBlob: return "{\"blob\": \"" + value.text + "\"}";
  }
  return "null";
}

// Text form: numbers as they are, texts quoted (control characters
// escaped, terminal_text.h), blobs as X'hex'.
std::string TextValue(const ShownValue& value) {
  switch (value.kind) {
    case ShownValue::Kind::kNull: return "NULL";
    case ShownValue::Kind::kText: return "\"" + TerminalText(value.text) + "\"";
    case ShownValue::Kind::kBlob: return "X'" + value.text + "'";
    default: return value.text;
  }
}

// Prints the rows of one table as they come: JSON objects or text lines.
class RowPrinter : public sq::RowSink {
 public:
  explicit RowPrinter(bool json) : m_json(json) {}

  void Begin(const sq::RecoveredTable& table, bool firstTable) {
    m_live = m_deleted = 0;
    if (m_json) {
      std::printf("%s\n  {\"name\": %s, \"columns\": [", firstTable ? "" : ",", JsonString(table.name).c_str());
      for (std::size_t i = 0; i < table.shape.columns.size(); ++i)
        std::printf("%s%s", i ? ", " : "", JsonString(table.shape.columns[i]).c_str());
      std::printf("], \"dropped\": %s, \"rows\": [", table.dropped ? "true" : "false");
      return;
    }
    std::printf("table %s%s (%zu columns:", TerminalText(table.name).c_str(), table.dropped ? " [dropped]" : "",
                table.shape.columns.size());
    for (std::size_t i = 0; i < table.shape.columns.size(); ++i)
      std::printf("%s %s", i == 0 ? "" : ",", TerminalText(table.shape.columns[i]).c_str());
    std::printf(")\n");
  }

  void End() {
    if (m_json) {
      std::printf(m_live + m_deleted == 0 ? "]}" : "\n  ]}");
    } else {
      std::printf("  %zu live, %zu deleted\n\n", m_live, m_deleted);
    }
  }

  void OnRow(const sq::RecoveredTable& table, const sq::RecoveredRow& row) override {
    const std::vector<ShownValue> values = ValuesOf(table, row);
    if (m_json) {
      std::string out = "{\"deleted\": ";
      out += row.deleted ? "true" : "false";
      out += ", \"partial\": ";
      out += row.partial ? "true" : "false";
      out += ", \"page\": " + std::to_string(row.pageNumber) + ", \"source\": \"" + sq::RowSourceName(row.source) +
             "\", \"values\": [";
      for (std::size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + JsonValue(values[i]);
      out += "]}";
      std::printf("%s%s", m_live + m_deleted == 0 ? "\n    " : ",\n    ", out.c_str());
    } else {
      std::printf("  %-7s page %-6u %-15s%s", row.deleted ? "deleted" : "live", row.pageNumber,
                  sq::RowSourceName(row.source), row.partial ? " (partial)" : "");
      for (std::size_t i = 0; i < values.size(); ++i)
        std::printf("%s%s", i == 0 ? " " : " | ", TextValue(values[i]).c_str());
      std::printf("\n");
    }
    ++(row.deleted ? m_deleted : m_live);
  }

 private:
  bool m_json;
  std::size_t m_live = 0;
  std::size_t m_deleted = 0;
};

void PrintDamage(const std::vector<sq::DamagedPage>& damage, const std::string& file, bool json) {
  if (json) {
    std::printf("],\n \"damaged_pages\": [");
    for (std::size_t i = 0; i < damage.size(); ++i)
      std::printf("%s{\"page\": %u, \"reason\": %s}", i ? ", " : "", damage[i].pageNumber,
                  JsonString(damage[i].reason).c_str());
    std::printf("]}\n");
  }
  if (damage.empty()) return;
  const sq::DamagedPage& first = damage.front();
  std::fprintf(stderr, "scrivel-cli sqlite: '%s': %zu damaged %s passed over (first: %s%s)\n", file.c_str(),
               damage.size(), damage.size() == 1 ? "place" : "places",
               first.pageNumber != 0 ? ("page " + std::to_string(first.pageNumber) + ": ").c_str() : "",
               TerminalText(first.reason).c_str());
}

int RunSqlite(const SqliteOptions& options) {
  const std::string file = TerminalText(options.file);
  sq::DatabaseRecovery recovery;
  sq::RecoveryOptions recoveryOptions;
  recoveryOptions.readWal = !options.noWal;
  recoveryOptions.deletedOnly = options.deletedOnly;
  if (recovery.Open(options.file, recoveryOptions)) {
    std::fprintf(stderr, "scrivel-cli sqlite: cannot read '%s': %s\n", file.c_str(),
                 sq::OpenProblem(recovery.Reader(), options.file).c_str());
    return 1;
  }
  const std::vector<sq::RecoveredTable>& all = recovery.Tables();
  if (const std::string problem = sq::SchemaProblem(recovery.Reader()); !problem.empty()) {
    std::fprintf(stderr, "scrivel-cli sqlite: '%s': %s\n", file.c_str(), problem.c_str());
    if (all.empty()) return 1;
  } else if (all.empty()) {
    std::fprintf(stderr, "scrivel-cli sqlite: '%s' holds no tables\n", file.c_str());
  }

  std::vector<std::size_t> chosen;
  if (options.tables.empty())
    for (std::size_t i = 0; i < all.size(); ++i) chosen.push_back(i);
  for (const std::string& name : options.tables) {
    const auto found = std::find_if(all.begin(), all.end(), [&](const sq::RecoveredTable& t) { return t.name == name; });
    if (found == all.end()) {
      std::fprintf(stderr, "scrivel-cli sqlite: no table '%s' in '%s'\n", TerminalText(name).c_str(), file.c_str());
      return 1;
    }
    chosen.push_back(static_cast<std::size_t>(found - all.begin()));
  }

  if (options.json)
    std::printf("{\"file\": %s, \"page_size\": %u, \"wal\": %s, \"tables\": [", JsonString(options.file).c_str(),
                recovery.Reader().PageSize(), recovery.Reader().HasWal() ? "true" : "false");
  RowPrinter printer(options.json);
  bool first = true;
  for (const std::size_t index : chosen) {
    const sq::RecoveredTable& table = all[index];
    const std::string name = TerminalText(table.name);
    if (!table.dropped) {
      if (const std::string problem = sq::RootPageProblem(recovery.Reader(), table.rootPage); !problem.empty())
        std::fprintf(stderr, "scrivel-cli sqlite: table '%s': %s; its live rows cannot be listed\n", name.c_str(),
                     problem.c_str());
    }
    printer.Begin(table, first);
    first = false;
    const std::error_code rc = recovery.Recover(index, printer);
    printer.End();
    if (rc)
      std::fprintf(stderr, "scrivel-cli sqlite: table '%s': some pages could not be read: %s\n", name.c_str(),
                   rc.message().c_str());
  }
  if (options.tables.empty()) {
    sq::RecoveredTable lost;
    lost.name = "lost_and_found";
    printer.Begin(lost, first);
    recovery.LostAndFound(printer);
    printer.End();
  }
  PrintDamage(recovery.Damage(), file, options.json);
  return 0;
}

}  // namespace

void defineSqlite(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<SqliteOptions>();
  command.add_option("DB_FILE", options->file, "the SQLite database file")->required();
  command.add_option("TABLE", options->tables, "a table to list; repeat for more");
  command.add_flag("--json", options->json,
                   "one JSON object: {\"file\", \"page_size\", \"wal\", \"tables\": [{\"name\",\n"
                   "\"columns\", \"dropped\", \"rows\": [{\"deleted\", \"partial\", \"page\", \"source\",\n"
                   "\"values\"}]}], \"damaged_pages\": [{\"page\", \"reason\"}]}");
  command.add_flag("--deleted-only", options->deletedOnly, "list deleted rows only");
  command.add_flag("--no-wal", options->noWal, "read the main file alone, not its write-ahead log");
  command.footer("Lists, for each named table (all tables when none is named), its live rows\n"
                 "and every deleted row still found in the file: free blocks, the unallocated\n"
                 "gap, the area behind the last cell, stale cell pointers, freelist pages,\n"
                 "dropped tables, overflow pages, the write-ahead log (DB-wal) and the rollback\n"
                 "journal (DB-journal) beside the file. Each row shows whether it is live or\n"
                 "deleted, whether some of its values were lost (partial), the page it came\n"
                 "from and where (the source), then its values. Records that fit no table are\n"
                 "listed under lost_and_found when no table is named.\n\n"
                 "Nothing is written to the file or beside it. In the text form, control\n"
                 "characters of names and values are shown escaped (\\x1b, \\n, ...). What keeps\n"
                 "a file, its schema or a table from being read is said on standard error, and\n"
                 "a one-line summary of the damaged pages passed over.\n"
                 "Exit codes: 0 listed, 1 bad arguments, or the file or its schema cannot be read.");
  command.callback([options, &exitCode] { exitCode = RunSqlite(*options); });
}

}  // namespace scrivel::cli
