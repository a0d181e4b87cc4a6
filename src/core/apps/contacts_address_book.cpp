#include "core/apps/contacts_address_book.h"

#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>

#include "core/apps/contacts_name.h"
#include "core/apps/record_decoder.h"

namespace scrivel::apps {

namespace {

using A = ColumnAction;

constexpr std::int32_t kPhoneProperty = 3;
constexpr std::int32_t kEmailProperty = 4;
constexpr std::int32_t kAddressProperty = 5;
constexpr std::int32_t kUrlProperty = 22;

// A row of "ABMultiValue".
struct MultiValueRecord {
  std::int32_t deleted = 0;
  std::int32_t uid = 0;
  std::int32_t personId = 0;
  std::int32_t property = 0;
  std::int32_t labelId = 0;
  std::string value;
};

// A row of "ABMultiValueLabel" or "ABMultiValueEntryKey": a text by rowid.
struct NamedRow {
  std::int32_t deleted = 0;
  std::int32_t rowId = 0;
  std::string value;
};

// A row of "ABMultiValueEntry": one part of a postal address.
struct EntryRecord {
  std::int32_t deleted = 0;
  std::int32_t parentId = 0;
  std::int32_t keyId = 0;
  std::string value;
};

// A live row is a person whatever it holds; a deleted one must still name
// somebody.
bool IsLiveOrNamed(ContactItem& person, const ColumnsSeen&) {
  person.name = ComposePersonName({person.prefix, person.first, person.middle, person.last, person.suffix});
  return person.deleted == 0 || !person.name.empty() || !person.company.empty();
}

// Positions are those of the iOS 15 layout; the schema's names decide.
constexpr ColumnRule<ContactItem> kPersonRules[] = {
    {"First", 1, A::kText, &ContactItem::first},         {"Last", 2, A::kText, &ContactItem::last},
    {"Middle", 3, A::kText, &ContactItem::middle},       {"Organization", 7, A::kText, &ContactItem::company},
    {"Prefix", 14, A::kText, &ContactItem::prefix},      {"Suffix", 15, A::kText, &ContactItem::suffix},
};
const TableLayout<ContactItem> kPersonLayout{kPersonRules, OtherTexts::kStrict, &ContactItem::rowId,
                                             IsLiveOrNamed};

constexpr ColumnRule<MultiValueRecord> kMultiValueRules[] = {
    {"record_id", 1, A::kInteger, nullptr, &MultiValueRecord::personId},
    {"property", 2, A::kInteger, nullptr, &MultiValueRecord::property},
    {"label", 4, A::kInteger, nullptr, &MultiValueRecord::labelId},
    {"value", 5, A::kText, &MultiValueRecord::value},
};
const TableLayout<MultiValueRecord> kMultiValueLayout{kMultiValueRules, OtherTexts::kUnchecked, &MultiValueRecord::uid};

constexpr ColumnRule<NamedRow> kNamedRowRules[] = {{"value", 0, A::kText, &NamedRow::value}};
const TableLayout<NamedRow> kNamedRowLayout{kNamedRowRules, OtherTexts::kUnchecked, &NamedRow::rowId};

constexpr ColumnRule<EntryRecord> kEntryRules[] = {
    {"parent_id", 0, A::kInteger, nullptr, &EntryRecord::parentId},
    {"key", 1, A::kInteger, nullptr, &EntryRecord::keyId},
    {"value", 2, A::kText, &EntryRecord::value},
};
const TableLayout<EntryRecord> kEntryLayout{kEntryRules};

// The live rows of `table` only: the value tables point at persons by row
// id, which a row rebuilt from free space no longer has.
template <typename Record>
std::error_code ReadLiveRows(sqlite::DatabaseRecovery& addressBook, std::string_view table, const TableLayout<Record>& layout,
                             std::vector<Record>* out) {
  return DecodeTable<Record>(addressBook, table, layout, [out](Record&& record) {
    if (record.deleted == 0) out->push_back(std::move(record));
  });
}

std::unordered_map<std::int32_t, std::string> TextByRowId(const std::vector<NamedRow>& rows) {
  std::unordered_map<std::int32_t, std::string> texts;
  for (const NamedRow& row : rows) texts.emplace(row.rowId, row.value);
  return texts;
}

// "Street, City, State ZIP, Country" from the parts that are there.
std::string AddressText(const std::map<std::string, std::string>& parts) {
  const auto part = [&](const char* key) {
    const auto found = parts.find(key);
    return found == parts.end() ? std::string() : found->second;
  };
  std::string stateAndZip = part("State");
  if (!stateAndZip.empty() && !part("ZIP").empty()) stateAndZip += ' ';
  stateAndZip += part("ZIP");
  std::string text;
  for (const std::string& piece : {part("Street"), part("City"), stateAndZip, part("Country")}) {
    if (piece.empty()) continue;
    if (!text.empty()) text += ", ";
    text += piece;
  }
  return text;
}

void AppendLine(std::string_view label, std::string_view value, std::string& field) {
  if (value.empty()) return;
  if (!field.empty()) field += '\n';
  if (!label.empty()) {
    field += label;
    field += ": ";
  }
  field += value;
}

}  // namespace

std::string ShownLabel(std::string_view storedLabel) {
  constexpr std::string_view kBuiltInOpen = "_$!<";
  constexpr std::string_view kBuiltInClose = ">!$_";
  if (!storedLabel.starts_with(kBuiltInOpen) || !storedLabel.ends_with(kBuiltInClose) ||
      storedLabel.size() < kBuiltInOpen.size() + kBuiltInClose.size())
    return std::string(storedLabel);
  std::string label(storedLabel.substr(kBuiltInOpen.size(), storedLabel.size() - kBuiltInOpen.size() - kBuiltInClose.size()));
  for (char& c : label)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return label;
}

std::error_code ReadAddressBookPeople(sqlite::DatabaseRecovery& addressBook, std::vector<ContactItem>* people) {
  if (!addressBook.FindTable("ABPerson")) return {};
  std::vector<ContactItem> persons;
  std::error_code failed;
  if (const std::error_code rc = DecodeTableInto(addressBook, "ABPerson", kPersonLayout, &persons); rc) failed = rc;
  std::vector<MultiValueRecord> values;
  std::vector<NamedRow> labels, keys;
  std::vector<EntryRecord> entries;
  if (addressBook.FindTable("ABMultiValue")) {
    if (const std::error_code rc = ReadLiveRows(addressBook, "ABMultiValue", kMultiValueLayout, &values); rc) failed = rc;
    if (const std::error_code rc = ReadLiveRows(addressBook, "ABMultiValueLabel", kNamedRowLayout, &labels); rc) failed = rc;
  }
  if (addressBook.FindTable("ABMultiValueEntry")) {
    if (const std::error_code rc = ReadLiveRows(addressBook, "ABMultiValueEntry", kEntryLayout, &entries); rc) failed = rc;
    if (const std::error_code rc = ReadLiveRows(addressBook, "ABMultiValueEntryKey", kNamedRowLayout, &keys); rc) failed = rc;
  }

  const auto labelById = TextByRowId(labels);
  const auto keyById = TextByRowId(keys);
  std::unordered_map<std::int32_t, std::map<std::string, std::string>> addressParts;  // by ABMultiValue UID
  for (const EntryRecord& entry : entries) {
    const auto key = keyById.find(entry.keyId);
    if (key != keyById.end()) addressParts[entry.parentId][key->second] = entry.value;
  }
  std::unordered_map<std::int32_t, ContactItem*> personById;
  for (ContactItem& person : persons)
    if (person.deleted == 0) personById.emplace(person.rowId, &person);

  for (const MultiValueRecord& value : values) {
    const auto person = personById.find(value.personId);
    if (person == personById.end()) continue;
    const auto label = labelById.find(value.labelId);
    const std::string shownLabel = label == labelById.end() ? std::string() : ShownLabel(label->second);
    ContactItem& contact = *person->second;
    switch (value.property) {
      case kPhoneProperty: AppendLine(shownLabel, value.value, contact.phone); break;
      case kEmailProperty: AppendLine(shownLabel, value.value, contact.email); break;
      case kUrlProperty: AppendLine(shownLabel, value.value, contact.url); break;
      case kAddressProperty: {
        const auto parts = addressParts.find(value.uid);
        if (parts != addressParts.end()) AppendLine(shownLabel, AddressText(parts->second), contact.address);
        break;
      }
      default: break;
    }
  }
  for (ContactItem& person : persons) people->push_back(std::move(person));
  return failed;
}

}  // namespace scrivel::apps
