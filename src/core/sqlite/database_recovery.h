// The recovery engine's front: one database file (with its write-ahead log
// and rollback journal when they lie beside it) read without a database
// engine, and every row that can still be found in it, table by table:
// live rows of the last committed state first, then the deleted rows the
// file keeps anywhere (see row_source.h for every place).
//
// A deleted row is reported only when its record is consistent and its
// values fit the table's declared columns; a row equal to a live row of its
// table is never reported as deleted; a row found in several places is
// reported once, from the best place. Records that fit no table are kept
// for LostAndFound.
//
// Knows nothing of any application: callers that want more rules (a
// column count of their own, a value test) apply them to the rows.
#pragma once

#include <system_error>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/row_source.h"
#include "core/sqlite/schema.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

struct RecoveredTable {
  std::string name;
  TableShape shape;               // from its CREATE TABLE statement
  bool dropped = false;           // its schema row was deleted; its CREATE TABLE was found in free space
  bool withoutRowId = false;
  std::uint32_t rootPage = 0;     // page number; 0 for a dropped table
};

struct RecoveredRow {
  std::uint32_t pageNumber = 0;   // 1-based page the row was found on (or the page its image belongs to)
  RowSource source = RowSource::kCell;
  bool deleted = false;           // anything but a live cell of the last committed state
  bool partial = false;           // some values were lost and read as NULL, or an overflow tail is missing
  std::optional<std::int64_t> rowId;  // the rowid when the cell kept it
  Bytes record;                   // a complete record (header-size varint, serial types, values); valid during the call
};

// A page the engine could not read or had to pass over, and why.
struct DamagedPage {
  std::uint32_t pageNumber = 0;
  std::string reason;
};

class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void OnRow(const RecoveredTable& table, const RecoveredRow& row) = 0;
};

struct RecoveryOptions {
  bool readWal = true;       // false: the main file alone, without its write-ahead log or journal
  bool deletedOnly = false;  // live rows are read (to recognise copies of them) but not handed on
  bool liveOnly = false;     // the live rows alone: no search for deleted rows
};

class DatabaseRecovery {
 public:
  DatabaseRecovery();
  ~DatabaseRecovery();
  DatabaseRecovery(const DatabaseRecovery&) = delete;
  DatabaseRecovery& operator=(const DatabaseRecovery&) = delete;

  // Opens `path` read-only (its "-wal" and "-journal" beside it too, unless
  // options say otherwise), reads the schema and finds dropped tables.
  // Returns success or the reader's code (kBadFile for a file that is not a
  // database).
  [[nodiscard]] std::error_code Open(const std::string& path, const RecoveryOptions& options = {});

  // Tables with a b-tree in the schema, then dropped tables, in schema order.
  const std::vector<RecoveredTable>& Tables() const;
  // The index into Tables() of the live table named `name` (letter case
  // ignored, as SQLite does), or nothing.
  std::optional<std::size_t> FindTable(std::string_view name) const;

  // Hands every row of table `tableIndex` (into Tables()) to `sink`: live
  // rows in b-tree order, then deleted rows. The free space of the whole
  // file is searched once, at the first call, for all tables. Returns
  // success or the code of the last page that could not be read.
  [[nodiscard]] std::error_code Recover(std::size_t tableIndex, RowSink& sink);

  // Records whose header is intact but that fit no table, after every
  // table was recovered. `table` of OnRow is a table named "lost_and_found"
  // with no columns.
  void LostAndFound(RowSink& sink);

  // Pages passed over so far, with the reason.
  const std::vector<DamagedPage>& Damage() const;

  const SqliteReader& Reader() const;

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace scrivel::sqlite
