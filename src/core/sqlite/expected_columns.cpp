// The column counts by which the records of the tables the application
// knows are recognised in free space. Records carry no column names, so a
// deleted record of a table is told apart from other bytes by its number of
// serial types.
#include <algorithm>
#include <cctype>

#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

namespace {

enum class NameMatch {
  kExactIgnoringCase,  // the whole name, letter case ignored
  kPrefix,             // the name starts with the pattern, letter case kept
};

// Where a table's count comes from: a fixed number, or what the decoders
// have learned (or the caller has set) in the reader's state.
enum class CountSource { kFixed, kMessage, kContact, kWhatsAppMessage };

struct ColumnCountRule {
  const char* pattern;
  NameMatch match;
  CountSource source;
  int columns;  // for kFixed
};

// The first matching rule decides; the prefix rules come last.
constexpr ColumnCountRule kColumnCountRules[] = {
    {"ZNOTEBODY", NameMatch::kExactIgnoringCase, CountSource::kFixed, 7},
    {"ZNOTE", NameMatch::kExactIgnoringCase, CountSource::kFixed, 19},
    {"message", NameMatch::kExactIgnoringCase, CountSource::kMessage, 0},
    {"handle", NameMatch::kExactIgnoringCase, CountSource::kFixed, 5},
    {"attachment", NameMatch::kExactIgnoringCase, CountSource::kFixed, 9},
    {"message_attachment_join", NameMatch::kExactIgnoringCase, CountSource::kFixed, 2},
    {"ABPersonFullTextSearch_content", NameMatch::kExactIgnoringCase, CountSource::kContact, 0},
    {"call", NameMatch::kExactIgnoringCase, CountSource::kFixed, 13},
    {"Friend", NameMatch::kExactIgnoringCase, CountSource::kFixed, 13},
    {"tb_c2cTables", NameMatch::kExactIgnoringCase, CountSource::kFixed, 1},
    {"ZWAMESSAGE", NameMatch::kExactIgnoringCase, CountSource::kWhatsAppMessage, 0},
    {"ZWACHATSESSION", NameMatch::kExactIgnoringCase, CountSource::kFixed, 25},
    {"ZWAGROUPMEMBER", NameMatch::kExactIgnoringCase, CountSource::kFixed, 13},
    {"ZWAMEDIAITEM", NameMatch::kExactIgnoringCase, CountSource::kFixed, 24},
    {"ZCALLRECORD", NameMatch::kExactIgnoringCase, CountSource::kFixed, 17},
    {"ZWACONTACT", NameMatch::kExactIgnoringCase, CountSource::kFixed, 11},
    {"ZWAPHONE", NameMatch::kExactIgnoringCase, CountSource::kFixed, 9},
    {"Chat_", NameMatch::kPrefix, CountSource::kFixed, 9},       // WeChat chat tables
    {"tb_c2cMsg", NameMatch::kPrefix, CountSource::kFixed, 50},  // QQ message tables
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool Matches(const ColumnCountRule& rule, std::string_view name) {
  if (rule.match == NameMatch::kPrefix) return name.starts_with(rule.pattern);
  return EqualsIgnoringCase(name, rule.pattern);
}

// The contact search table gained a column in iOS 8: a live record with
// more than 25 serial-type bytes tells that the 25-column layout is in use.
int ContactColumns(const DecoderState& state) { return state.contactTypeBytes > 25 ? 25 : 24; }

}  // namespace

int SqliteReader::ExpectedColumns(std::string_view name) {
  int columns = 0;
  const auto rule = std::find_if(std::begin(kColumnCountRules), std::end(kColumnCountRules),
                                 [&](const ColumnCountRule& r) { return Matches(r, name); });
  if (rule != std::end(kColumnCountRules)) {
    switch (rule->source) {
      case CountSource::kFixed: columns = rule->columns; break;
      case CountSource::kMessage: columns = state.messageColumns; break;
      case CountSource::kContact: columns = ContactColumns(state); break;
      case CountSource::kWhatsAppMessage: columns = state.whatsAppMessageColumns; break;
    }
  } else if (const auto known = m_schemaColumnCounts.find(name); known != m_schemaColumnCounts.end()) {
    columns = known->second;
  }
  m_lastExpectedColumns = columns;
  return columns;
}

}  // namespace scrivel::sqlite
