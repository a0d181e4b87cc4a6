#include "recovery_scoring.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace scrivel::sqlite::testing {
namespace {

using fixtures::JsonValue;
using Kind = JsonValue::Kind;

const std::vector<JsonValue> kNoItems;

const std::vector<JsonValue>& Items(const JsonValue& object, const char* key) {
  const JsonValue* member = object.Member(key);
  return member && member->kind == Kind::Array ? member->items : kNoItems;
}

bool Flag(const JsonValue& object, const char* key) {
  const JsonValue* member = object.Member(key);
  return member && member->kind == Kind::Bool && member->boolean;
}

std::string Text(const JsonValue& object, const char* key) {
  const JsonValue* member = object.Member(key);
  return member && member->kind == Kind::String ? member->text : std::string();
}

bool IsNumber(const JsonValue& value) { return value.kind == Kind::Integer || value.kind == Kind::Real; }

double AsDouble(const JsonValue& value) {
  return value.kind == Kind::Integer ? static_cast<double>(value.integer) : value.real;
}

bool SameValue(const JsonValue& a, const JsonValue& b) {
  if (a.kind == Kind::Integer && b.kind == Kind::Integer) return a.integer == b.integer;
  if (IsNumber(a) && IsNumber(b)) {
    const double x = AsDouble(a), y = AsDouble(b);
    return x == y || std::fabs(x - y) <= 1e-12 * std::max(std::fabs(x), std::fabs(y));
  }
  if (a.kind != b.kind) return false;
  if (a.kind == Kind::Null) return true;
  if (a.kind == Kind::String) return a.text == b.text;
  if (a.kind == Kind::Object) return Text(a, "blob") == Text(b, "blob");
  return false;
}

// A table of the truth with what matching needs.
struct TruthTable {
  const JsonValue* json = nullptr;
  std::string name;
  int ipkColumn = -1;
  bool dropped = false;
};

// Whether reported `values` (of a row marked `partial` or not) match the
// truth row `truthRow` of a table whose rowid alias is `ipkColumn`.
bool Matches(const std::vector<JsonValue>& values, bool partial, const JsonValue& truthRow, int ipkColumn) {
  if (truthRow.items.size() != values.size()) return false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const bool lostValue = values[i].kind == Kind::Null && (partial || static_cast<int>(i) == ipkColumn);
    if (!lostValue && !SameValue(values[i], truthRow.items[i])) return false;
  }
  return true;
}

bool MatchesAny(const std::vector<JsonValue>& values, bool partial, const std::vector<JsonValue>& rows, int ipkColumn) {
  return std::any_of(rows.begin(), rows.end(),
                     [&](const JsonValue& row) { return Matches(values, partial, row, ipkColumn); });
}

bool HasSurvivingValue(const std::vector<JsonValue>& values) {
  return std::any_of(values.begin(), values.end(), [](const JsonValue& v) { return v.kind != Kind::Null; });
}

struct ReportedRow {
  const TruthTable* table = nullptr;  // null: a table the truth does not know (lost_and_found, a renamed dropped table)
  const std::vector<JsonValue>* values = nullptr;
  bool partial = false;
};

}  // namespace

std::string RecoveryScore::Summary() const {
  char line[320];
  std::snprintf(line, sizeof line,
                "recall %.3f (%zu of %zu, %zu only partly), invented %.3f (%zu of %zu deleted rows reported), "
                "live rows reported deleted %zu, reported twice %zu, live rows missing %zu of %zu",
                Recall(), recovered, recoverable, recoveredPartial, InventedShare(), invented, reportedDeleted,
                liveAsDeleted, reportedTwice, liveMissing, liveExpected);
  return line;
}

RecoveryScore ScoreRecovery(const JsonValue& truth, const JsonValue& report) {
  RecoveryScore score;
  std::vector<TruthTable> tables;
  for (const JsonValue& table : Items(truth, "tables")) {
    const JsonValue* ipk = table.Member("ipk_column");
    tables.push_back({&table, Text(table, "name"), ipk ? static_cast<int>(ipk->integer) : -1, Flag(table, "dropped")});
  }
  const auto find = [&](const std::string& name) -> const TruthTable* {
    for (const TruthTable& table : tables)
      if (table.name == name) return &table;
    return nullptr;
  };

  // A deleted row of a table the truth knows must match a row ever written
  // to that table; one of a table it does not know, a row of any table or
  // of the schema.
  const auto genuine = [&](const ReportedRow& row) {
    if (row.partial && !HasSurvivingValue(*row.values)) return false;
    if (row.table) return MatchesAny(*row.values, row.partial, Items(*row.table->json, "ever"), row.table->ipkColumn);
    for (const TruthTable& table : tables)
      if (MatchesAny(*row.values, row.partial, Items(*table.json, "ever"), table.ipkColumn)) return true;
    return MatchesAny(*row.values, row.partial, Items(truth, "schema_ever"), -1);
  };

  std::vector<ReportedRow> deletedRows;
  std::vector<std::vector<const std::vector<JsonValue>*>> liveRows(tables.size());
  for (const JsonValue& table : Items(report, "tables")) {
    const TruthTable* known = find(Text(table, "name"));
    for (const JsonValue& row : Items(table, "rows")) {
      const std::vector<JsonValue>& values = Items(row, "values");
      if (!Flag(row, "deleted")) {
        if (known) liveRows[static_cast<std::size_t>(known - tables.data())].push_back(&values);
        continue;
      }
      const ReportedRow reported{known, &values, Flag(row, "partial")};
      ++score.reportedDeleted;
      if (!genuine(reported)) ++score.invented;
      if (known && !reported.partial && MatchesAny(values, false, Items(*known->json, "live"), known->ipkColumn))
        ++score.liveAsDeleted;
      deletedRows.push_back(reported);
    }
  }

  for (std::size_t t = 0; t < tables.size(); ++t) {
    const TruthTable& table = tables[t];
    // Live rows: each reported live once.
    std::vector<bool> used(liveRows[t].size(), false);
    for (const JsonValue& row : Items(*table.json, "live")) {
      ++score.liveExpected;
      bool found = false;
      for (std::size_t r = 0; r < liveRows[t].size() && !found; ++r) {
        if (used[r] || !Matches(*liveRows[t][r], false, row, -1)) continue;
        used[r] = true;
        found = true;
      }
      if (!found) ++score.liveMissing;
    }
    // Deleted rows still on disk: reported as deleted rows of their table,
    // or, for a dropped table, of a table the truth does not know.
    const std::vector<JsonValue>& onDisk = Items(*table.json, "deleted_on_disk");
    for (std::size_t i = 0; i < onDisk.size(); ++i) {
      ++score.recoverable;
      std::size_t whole = 0, partly = 0;
      for (const ReportedRow& row : deletedRows) {
        const bool place = row.table == &table || (table.dropped && !row.table);
        if (!place || !Matches(*row.values, row.partial, onDisk[i], table.ipkColumn)) continue;
        ++(row.partial ? partly : whole);
      }
      if (whole + partly > 0) ++score.recovered;
      if (whole == 0 && partly > 0) ++score.recoveredPartial;
      // The same values may have been deleted more than once (rows
      // inserted alike): each such row may be reported once.
      std::size_t alike = 0;
      bool firstOfItsValues = true;
      for (std::size_t j = 0; j < onDisk.size(); ++j) {
        if (!Matches(onDisk[j].items, false, onDisk[i], -1)) continue;
        ++alike;
        if (j < i) firstOfItsValues = false;
      }
      if (firstOfItsValues && whole > alike) score.reportedTwice += whole - alike;
    }
  }
  return score;
}

}  // namespace scrivel::sqlite::testing
