// scrivel-cli sqlite: lists the live rows of the tables of one SQLite
// database file and the deleted rows found in its free space, each value
// decoded by its serial type. Reads the file page by page without a
// database engine and never writes to it.
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
#include "core/common/result_codes.h"
#include "core/sqlite/file_problems.h"
#include "core/sqlite/generic_rows.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::cli {
namespace {

namespace sr = scrivel::sqlite;

struct SqliteOptions {
  std::string file;
  std::vector<std::string> tables;  // empty: every table
  bool json = false;
};

constexpr char kHexDigits[] = "0123456789abcdef";

std::string hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
  }
  return text;
}

std::string formatDouble(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string jsonValue(const sr::GenericValue& value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return std::to_string(*integer);
  if (const auto* real = std::get_if<double>(&value)) return std::isfinite(*real) ? formatDouble(*real) : "null";
  if (const auto* text = std::get_if<std::string>(&value)) return JsonString(*text);
  if (const auto* blob = std::get_if<sr::BlobValue>(&value)) return "{\"blob\": \"" + hex(blob->bytes) + "\"}";
  return "null";
}

// Text form: integers and floats as numbers, texts quoted (control
// characters escaped, terminal_text.h), blobs as X'hex'.
std::string textValue(const sr::GenericValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return "\"" + TerminalText(*text) + "\"";
  if (const auto* blob = std::get_if<sr::BlobValue>(&value)) return "X'" + hex(blob->bytes) + "'";
  if (std::holds_alternative<std::monostate>(value)) return "NULL";
  return jsonValue(value);
}

std::uint32_t pageNumber(const sr::RowOrigin& origin) { return origin.pageIndex + 1; }

// One row as text: live or deleted, page number, where on the page, values.
void printRowText(const sr::GenericRow& row) {
  std::printf("  %-7s page %-6u %-13s", row.origin.deleted ? "deleted" : "live", pageNumber(row.origin),
              sr::RowSourceName(row.origin.source));
  for (std::size_t i = 0; i < row.values.size(); ++i)
    std::printf("%s%s", i == 0 ? " " : " | ", textValue(row.values[i]).c_str());
  std::printf("\n");
}

// One row as a JSON object.
std::string rowJson(const sr::GenericRow& row) {
  std::string out = "{\"deleted\": ";
  out += row.origin.deleted ? "true" : "false";
  out += ", \"page\": " + std::to_string(pageNumber(row.origin));
  out += ", \"source\": \"";
  out += sr::RowSourceName(row.origin.source);
  out += "\", \"values\": [";
  for (std::size_t i = 0; i < row.values.size(); ++i) out += (i ? ", " : "") + jsonValue(row.values[i]);
  out += "]}";
  return out;
}

// Prints one table, row by row as the scan finds them (a table of any
// size needs no more memory than one row). Returns the scan's code.
std::error_code printTable(sr::SqliteReader& reader, const sr::TableDescription& table, bool json) {
  std::size_t live = 0, deleted = 0;
  if (json) {
    std::printf("{\"name\": %s, \"columns\": [", JsonString(table.name).c_str());
    for (std::size_t i = 0; i < table.columns.size(); ++i)
      std::printf("%s%s", i ? ", " : "", JsonString(table.columns[i]).c_str());
    std::printf("], \"rows\": [");
  } else {
    std::printf("table %s (%zu columns:", TerminalText(table.name).c_str(), table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i)
      std::printf("%s %s", i == 0 ? "" : ",", TerminalText(table.columns[i]).c_str());
    std::printf(")\n");
  }
  const std::error_code rc = sr::ScanGenericRows(reader, table, [&](const sr::GenericRow& row) {
    if (json) {
      std::printf("%s%s", live + deleted == 0 ? "\n    " : ",\n    ", rowJson(row).c_str());
    } else {
      printRowText(row);
    }
    ++(row.origin.deleted ? deleted : live);
  });
  if (json) {
    std::printf(live + deleted == 0 ? "]}" : "\n  ]}");
  } else {
    std::printf("  %zu live, %zu deleted\n\n", live, deleted);
  }
  return rc;
}

int runSqlite(const SqliteOptions& options) {
  const std::string file = TerminalText(options.file);
  sr::SqliteReader reader;
  if (reader.Open(options.file)) {
    std::fprintf(stderr, "scrivel-cli sqlite: cannot read '%s': %s\n", file.c_str(),
                 sr::OpenProblem(reader, options.file).c_str());
    return 1;
  }
  std::vector<sr::TableDescription> all;
  // A schema that cannot be read in full is described by SchemaProblem.
  static_cast<void>(sr::ListTables(reader, &all));
  if (const std::string problem = sr::SchemaProblem(reader); !problem.empty()) {
    std::fprintf(stderr, "scrivel-cli sqlite: '%s': %s\n", file.c_str(), problem.c_str());
    if (all.empty()) return 1;
  } else if (all.empty()) {
    std::fprintf(stderr, "scrivel-cli sqlite: '%s' holds no tables\n", file.c_str());
  }

  std::vector<sr::TableDescription> chosen;
  if (options.tables.empty()) chosen = all;
  for (const std::string& name : options.tables) {
    const auto found = std::find_if(all.begin(), all.end(), [&](const sr::TableDescription& t) { return t.name == name; });
    if (found == all.end()) {
      std::fprintf(stderr, "scrivel-cli sqlite: no table '%s' in '%s'\n", TerminalText(name).c_str(), file.c_str());
      return 1;
    }
    chosen.push_back(*found);
  }

  if (options.json)
    std::printf("{\"file\": %s, \"page_size\": %u, \"tables\": [", JsonString(options.file).c_str(), reader.PageSize());
  bool first = true;
  for (const sr::TableDescription& table : chosen) {
    if (options.json) std::printf("%s\n  ", first ? "" : ",");
    first = false;
    const std::string name = TerminalText(table.name);
    if (const std::string problem = sr::RootPageProblem(reader, table.rootPage); !problem.empty()) {
      std::fprintf(stderr, "scrivel-cli sqlite: table '%s': %s; its live rows cannot be listed\n", name.c_str(),
                   problem.c_str());
    }
    if (const std::error_code rc = printTable(reader, table, options.json); rc) {
      std::fprintf(stderr, "scrivel-cli sqlite: table '%s': some pages could not be read: %s\n", name.c_str(),
                   rc.message().c_str());
    }
  }
  if (options.json) std::printf("\n]}\n");
  return 0;
}

}  // namespace

void defineSqlite(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<SqliteOptions>();
  command.add_option("DB_FILE", options->file, "the SQLite database file")->required();
  command.add_option("TABLE", options->tables, "a table to list; repeat for more");
  command.add_flag("--json", options->json,
                   "one JSON object: {\"file\", \"page_size\", \"tables\": [{\"name\",\n"
                   "\"columns\", \"rows\": [{\"deleted\", \"page\", \"source\", \"values\"}]}]}");
  command.footer("Lists, for each named table (all tables when none is named), its live rows\n"
                 "and the deleted rows still found in the file's free space. Each row shows\n"
                 "whether it is live or deleted, the page it came from and where on the page\n"
                 "(cell, freeblock, gap, trailing, stale-pointer, freelist), then its values.\n\n"
                 "In the text form, control characters of names and values are shown escaped\n"
                 "(\\x1b, \\n, ...). What keeps a file, its schema or a table from being read is\n"
                 "said on standard error.\n"
                 "Exit codes: 0 listed, 1 bad arguments, or the file or its schema cannot be read.");
  command.callback([options, &exitCode] { exitCode = runSqlite(*options); });
}

}  // namespace scrivel::cli
