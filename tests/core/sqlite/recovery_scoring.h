// Scores what `scrivel-cli sqlite FILE --json` reports for one scripted
// history against the truth the history script wrote beside the file
// (tests/fixtures/sqlite_histories/sqlite_histories.py, NAME.truth.json).
//
// Matching a reported row to a truth row: same number of values, and each
// value equal (numbers by value, so the integer 7 equals the real 7.0;
// blobs as {"blob": "hex"}), except that a NULL reported for the INTEGER
// PRIMARY KEY column (the rowid was lost with the cell) or, in a row marked
// partial, for any column (the value was overwritten) matches anything.
#pragma once

#include <cstddef>
#include <string>

#include "fixtures/json_reader.h"

namespace scrivel::sqlite::testing {

struct RecoveryScore {
  std::size_t recoverable = 0;       // deleted rows the truth finds on disk
  std::size_t recovered = 0;         // of those, reported as deleted rows
  std::size_t recoveredPartial = 0;  // of those, only by partial rows
  std::size_t reportedDeleted = 0;   // deleted rows reported, lost_and_found included
  std::size_t invented = 0;          // reported deleted rows that match no row ever written
  std::size_t liveAsDeleted = 0;     // reported deleted rows equal to a live row of their table
  std::size_t reportedTwice = 0;     // extra reports of one deleted row
  std::size_t liveExpected = 0;      // live rows of the truth
  std::size_t liveMissing = 0;       // of those, not reported live

  double Recall() const { return recoverable ? static_cast<double>(recovered) / recoverable : 1.0; }
  double InventedShare() const { return reportedDeleted ? static_cast<double>(invented) / reportedDeleted : 0.0; }
  std::string Summary() const;
};

// `truth` is the parsed NAME.truth.json, `report` the parsed CLI output.
RecoveryScore ScoreRecovery(const fixtures::JsonValue& truth, const fixtures::JsonValue& report);

}  // namespace scrivel::sqlite::testing
