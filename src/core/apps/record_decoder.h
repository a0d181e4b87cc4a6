// The machinery shared by the typed table decoders (table_decoders.cpp):
// each table is described as data - which column positions it keeps, into
// which field, how, and which test a finished record must pass - and one
// decoder walks any record against such a description.
//
// Column positions are 0-based positions in the record, the order of the
// table's CREATE TABLE statement. A rule also names its column: when the
// database's own CREATE TABLE statement names the columns, the positions
// come from it (column_resolution.h), once, when the decoder starts;
// otherwise the built-in positions stand. Which serial types a deleted
// record has is the recovery engine's business: it rebuilds every record
// by the table's CREATE TABLE statement.
#pragma once

#include <algorithm>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/result_codes.h"
#include "core/common/utf8.h"
#include "core/sqlite/column_resolution.h"
#include "core/apps/local_date.h"
#include "core/sqlite/database_recovery.h"
#include "core/sqlite/record.h"
#include "core/sqlite/utf8_text.h"

namespace scrivel::apps {

// What a decoder does with one kept column. Empty texts (serial type 13)
// and values of another kind than the action wants are passed over.
enum class ColumnAction {
  kText,                 // text -> text field
  kTextOrUtf8Blob,       // text, or a blob that is well-formed UTF-8 -> text field
  kStrictText,           // text -> text field; a deleted record is dropped when it is not real text (StrictText)
  kAppendText,           // text appended to the text field
  kTextWithoutControls,  // text -> text field; a deleted record is dropped when it holds a control character
  kIdBeforeAt,           // strict text; the part before its first "@", nothing when it has none
  kIdCutAtAt,            // strict text; cut at its first "@" when it has one
  kInteger,              // integer that fits 32 bits -> number field
  kIntegerOrFloat,       // the same, also stored as a float (its integer part)
  kAppleDate,            // integer seconds since 2001-01-01 UTC -> date text
  kAppleDateOrFloat,     // the same, also stored as a float (its integer part)
  kUnixDate,             // integer seconds since 1970-01-01 UTC -> date text
  kOneWhenZero,          // the constant 0 sets the number field to 1
  kOneWhenBitZeroClear,  // an integer with bit 0 clear sets the number field to 1 (call flags: bit 0 = outgoing)
  kOneWhenOne,           // the constant 1 sets the number field to 1
  kOneWhenNonZero,       // any integer other than 0 sets the number field to 1
  kBlobBytes,            // blob or text -> text field, its bytes unchanged (the record's finish test reads them)
  kConstant,             // the constant 0 or 1 -> number field
  kInverseConstant,      // the constant 0 -> 1, the constant 1 -> 0
  kPeerFilter,           // text; the record is dropped when the reader's peer filter is set and differs
};

template <typename Record>
struct ColumnRule {
  const char* name;  // the column's name in CREATE TABLE; null: looked up by position only
  int column;        // the built-in position
  ColumnAction action;
  std::string Record::*text = nullptr;
  std::int32_t Record::*number = nullptr;
};

// How the text columns without a rule of a deleted record are checked (a
// live record's texts are never tested).
enum class OtherTexts {
  kUnchecked,    // skipped unread
  kMustConvert,  // must be well-formed UTF-8
  kStrict,       // must pass StrictText (every text column, kept or not)
};

using ColumnsSeen = std::bitset<64>;  // rules (by index in the layout's list) that stored a value

template <typename Record>
struct TableLayout {
  std::span<const ColumnRule<Record>> rules;
  OtherTexts otherTexts = OtherTexts::kUnchecked;
  std::int32_t Record::*rowId = nullptr;  // receives the low 32 bits of the row's rowid, when the engine knows it
  // Final test (and completion) of a record; false drops it.
  bool (*finish)(Record& record, const ColumnsSeen& seen) = nullptr;
  sqlite::NameForm nameForm = sqlite::NameForm::kExact;  // how rule names are found among the schema's column names
};

// Decodes every row of one table against its layout and hands each
// accepted record to `sink`. Rows come from the recovery engine as complete
// records (database_recovery.h); deleted ones must pass the text tests.
template <typename Record>
class TypedDecoder : public sqlite::RowSink {
 public:
  // Resolves the layout's column names against the CREATE TABLE statement
  // of `table`. `peerFilter`, when not empty, is the only value a
  // kPeerFilter column may hold.
  TypedDecoder(const sqlite::RecoveredTable& table, const TableLayout<Record>& layout, std::function<void(Record&&)> sink,
               std::string_view peerFilter = {})
      : m_layout(layout), m_sink(std::move(sink)), m_peerFilter(peerFilter) {
    std::vector<sqlite::KeptColumn> kept;
    for (const ColumnRule<Record>& rule : m_layout.rules) kept.push_back({rule.name, rule.column});
    const sqlite::ResolvedColumns resolved = sqlite::ResolveColumns(kept, table.shape.columns, m_layout.nameForm);
    for (std::size_t i = 0; i < m_layout.rules.size(); ++i) {
      const int column = resolved.positions[i];
      if (column < 0) continue;
      if (static_cast<std::size_t>(column) >= m_ruleByColumn.size()) m_ruleByColumn.resize(column + 1, kNoRule);
      m_ruleByColumn[column] = i;
    }
  }

  // A row that lost values to later writes is left out: its lost values
  // read as NULL, and a record missing its duration, flag or date would
  // show as another call, message or note than the one it was.
  void OnRow(const sqlite::RecoveredTable&, const sqlite::RecoveredRow& row) override {
    if (row.partial) return;
    const auto layout = sqlite::LiveRecordLayout(row.record);
    if (!layout) return;
    Record record;
    if (m_layout.rowId && row.rowId)
      record.*m_layout.rowId = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(*row.rowId)));
    Emit(row.deleted, row.record, *layout, std::move(record));
  }

 private:
  void Emit(bool deleted, sqlite::Bytes bytes, const sqlite::RecordLayout& layout, Record record) {
    record.deleted = deleted ? 1 : 0;
    // The text tests tell a deleted record from bytes that merely look like
    // one. A live row is the database's own and is kept whatever its texts
    // hold; bytes that are not UTF-8 show as U+FFFD.
    const bool testTexts = deleted;
    bool rejected = false;
    ColumnsSeen seen;
    const bool complete = sqlite::ForEachColumn(bytes, layout, [&](int column, const sqlite::ColumnValue& value) {
      if (rejected) return;
      const std::size_t ruleIndex = RuleIndexFor(column);
      const ColumnRule<Record>* rule = ruleIndex == kNoRule ? nullptr : &m_layout.rules[ruleIndex];
      if (testTexts && value.IsText() && !value.bytes.empty() && !TextPassesCheck(rule, value.Text())) {
        rejected = true;
        return;
      }
      if (rule && Apply(*rule, value, testTexts, record, &rejected) && ruleIndex < seen.size()) seen.set(ruleIndex);
    });
    if (!complete || rejected) return;
    if (m_layout.finish && !m_layout.finish(record, seen)) return;
    m_sink(std::move(record));
  }

  std::size_t RuleIndexFor(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= m_ruleByColumn.size()) return kNoRule;
    return m_ruleByColumn[column];
  }

  bool TextPassesCheck(const ColumnRule<Record>* rule, std::string_view text) const {
    switch (m_layout.otherTexts) {
      case OtherTexts::kUnchecked: return true;
      case OtherTexts::kMustConvert: return rule != nullptr || IsValidUtf8(text);
      case OtherTexts::kStrict: return sqlite::StrictText(text).has_value();
    }
    return true;
  }

  // Applies one rule; true when it stored a value. Sets `*rejected` when
  // the value drops the record, which only a tested text can do.
  bool Apply(const ColumnRule<Record>& rule, const sqlite::ColumnValue& value, bool testTexts, Record& record,
             bool* rejected) const {
    const bool text = value.IsText() && !value.bytes.empty();
    switch (rule.action) {
      case ColumnAction::kText:
        if (!text) return false;
        record.*rule.text = sqlite::PlainText(value.Text());
        return true;
      case ColumnAction::kTextOrUtf8Blob: {
        // Text() reads the bytes of any value; a blob's are checked first.
        const bool utf8Blob = value.IsBlob() && !value.bytes.empty() && IsValidUtf8(value.Text());
        if (!text && !utf8Blob) return false;
        record.*rule.text = sqlite::PlainText(value.Text());
        return true;
      }
      case ColumnAction::kAppendText:
        if (!text) return false;
        record.*rule.text += sqlite::PlainText(value.Text());
        return true;
      case ColumnAction::kStrictText:
      case ColumnAction::kIdBeforeAt:
      case ColumnAction::kIdCutAtAt: {
        if (!text) return false;
        auto strict = testTexts ? sqlite::StrictText(value.Text()) : sqlite::PlainText(value.Text());
        if (!strict) {
          *rejected = true;
          return false;
        }
        const std::size_t at = strict->find('@');
        if (rule.action == ColumnAction::kIdBeforeAt) strict = at == std::string::npos ? std::string() : strict->substr(0, at);
        if (rule.action == ColumnAction::kIdCutAtAt && at != std::string::npos) strict->resize(at);
        record.*rule.text = std::move(*strict);
        return true;
      }
      case ColumnAction::kTextWithoutControls:
        if (!text) return false;
        record.*rule.text = sqlite::PlainText(value.Text());
        if (testTexts && sqlite::HasControlCharacter(record.*rule.text)) *rejected = true;
        return true;
      case ColumnAction::kInteger:
      case ColumnAction::kIntegerOrFloat: return ApplyNumber(rule, value, record);
      case ColumnAction::kAppleDate:
      case ColumnAction::kAppleDateOrFloat:
      case ColumnAction::kUnixDate: return ApplyDate(rule, value, record);
      case ColumnAction::kOneWhenZero:
      case ColumnAction::kOneWhenOne:
      case ColumnAction::kConstant:
      case ColumnAction::kInverseConstant: return ApplyConstant(rule, value, record);
      case ColumnAction::kOneWhenBitZeroClear:
        if (!value.IsInteger()) return false;
        if ((value.Integer() & 1) == 0) record.*rule.number = 1;
        return true;
      case ColumnAction::kOneWhenNonZero:
        if (!value.IsInteger()) return false;
        if (value.Integer() != 0) record.*rule.number = 1;
        return true;
      case ColumnAction::kBlobBytes:
        if (!(value.IsBlob() || value.IsText()) || value.bytes.empty()) return false;
        (record.*rule.text).assign(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
        return true;
      case ColumnAction::kPeerFilter:
        if (text && !m_peerFilter.empty() && value.Text() != m_peerFilter) *rejected = true;
        return text;
    }
    return false;
  }

  bool ApplyDate(const ColumnRule<Record>& rule, const sqlite::ColumnValue& value, Record& record) const {
    std::int64_t seconds = 0;
    if (value.IsInteger()) {
      seconds = value.Integer();
      // From iOS 11 on, Apple date columns hold nanoseconds in 8 bytes.
      constexpr std::int64_t kNanosecondsThreshold = 100'000'000'000;
      if (rule.action != ColumnAction::kUnixDate && (seconds >= kNanosecondsThreshold || seconds <= -kNanosecondsThreshold))
        seconds /= 1'000'000'000;
    } else if (value.IsFloat() && rule.action == ColumnAction::kAppleDateOrFloat) {
      const double stored = value.Float();
      if (!(stored > -1e15 && stored < 1e15)) return false;  // NaN, infinities, absurd values
      seconds = static_cast<std::int64_t>(stored);
    } else {
      return false;
    }
    if (rule.action != ColumnAction::kUnixDate) {
      if (seconds > INT64_MAX - kAppleEpochInUnixSeconds) return false;
      seconds += kAppleEpochInUnixSeconds;
    }
    record.*rule.text = FormatLocalDate(seconds);
    return !(record.*rule.text).empty();
  }

  static bool ApplyNumber(const ColumnRule<Record>& rule, const sqlite::ColumnValue& value, Record& record) {
    if (value.IsFloat() && rule.action == ColumnAction::kIntegerOrFloat) {
      const double stored = value.Float();
      if (!(stored >= INT32_MIN && stored <= INT32_MAX)) return false;  // NaN, infinities, too large
      record.*rule.number = static_cast<std::int32_t>(stored);
      return true;
    }
    if (!value.IsInteger() || value.Integer() < INT32_MIN || value.Integer() > INT32_MAX) return false;
    record.*rule.number = static_cast<std::int32_t>(value.Integer());
    return true;
  }

  static bool ApplyConstant(const ColumnRule<Record>& rule, const sqlite::ColumnValue& value, Record& record) {
    if (!value.IsConstant()) return false;
    const bool one = value.serialType == 9;
    switch (rule.action) {
      case ColumnAction::kOneWhenZero:
        if (one) return false;
        record.*rule.number = 1;
        return true;
      case ColumnAction::kOneWhenOne:
        if (!one) return false;
        record.*rule.number = 1;
        return true;
      case ColumnAction::kConstant: record.*rule.number = one ? 1 : 0; return true;
      case ColumnAction::kInverseConstant: record.*rule.number = one ? 0 : 1; return true;
      default: return false;
    }
  }

  const TableLayout<Record>& m_layout;
  std::function<void(Record&&)> m_sink;
  std::string m_peerFilter;
  static constexpr std::size_t kNoRule = SIZE_MAX;
  std::vector<std::size_t> m_ruleByColumn;  // index = column position; value = rule index, kNoRule = none
};

// Decodes table `table` of the open `recovery` with `layout`. A database
// without the table gives nothing and success; otherwise returns what
// DatabaseRecovery::Recover returns.
template <typename Record>
[[nodiscard]] std::error_code DecodeTable(sqlite::DatabaseRecovery& recovery, std::string_view table,
                                          const TableLayout<Record>& layout, std::function<void(Record&&)> sink,
                                          std::string_view peerFilter = {}) {
  const std::optional<std::size_t> index = recovery.FindTable(table);
  if (!index) return {};
  TypedDecoder<Record> decoder(recovery.Tables()[*index], layout, std::move(sink), peerFilter);
  return recovery.Recover(*index, decoder);
}

// The same, appending the records to `out`.
template <typename Record>
[[nodiscard]] std::error_code DecodeTableInto(sqlite::DatabaseRecovery& recovery, std::string_view table,
                                              const TableLayout<Record>& layout, std::vector<Record>* out,
                                              std::string_view peerFilter = {}) {
  return DecodeTable<Record>(recovery, table, layout, [out](Record&& record) { out->push_back(std::move(record)); },
                             peerFilter);
}

}  // namespace scrivel::apps
