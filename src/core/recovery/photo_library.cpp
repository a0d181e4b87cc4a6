#include "core/recovery/photo_library.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/apps/local_date.h"
#include "core/common/result_codes.h"
#include "core/sqlite/database_recovery.h"
#include "core/sqlite/record.h"

namespace scrivel {
namespace {

namespace sr = sqlite;

constexpr std::string_view kCameraRollMedia = "CameraRollDomain-Media/";
constexpr std::string_view kAssetTables[] = {"ZASSET", "ZGENERICASSET"};  // iOS 14 and later first
constexpr std::string_view kAttributesTable = "ZADDITIONALASSETATTRIBUTES";
// Core Data seconds beyond this many are no date a photo can have (about
// 3,000 years); they also keep the conversion to an integer defined.
constexpr double kLargestDateSeconds = 1e11;

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The position of column `name` in `table`, or -1.
int columnOf(const sr::RecoveredTable& table, std::string_view name) {
  const std::vector<std::string>& columns = table.shape.columns;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (sameName(columns[i], name)) return static_cast<int>(i);
  }
  return -1;
}

// One live row's values by column position. The INTEGER PRIMARY KEY column
// stores NULL; its value is the row's rowid.
class LiveRow {
 public:
  LiveRow(const sr::RecoveredTable& table, const sr::RecoveredRow& row) : m_table(table), m_row(row) {
    if (const auto layout = sr::LiveRecordLayout(row.record)) {
      m_complete = sr::ForEachColumn(row.record, *layout,
                                     [this](int, const sr::ColumnValue& value) { m_values.push_back(value); });
    }
  }

  bool Complete() const { return m_complete; }

  std::string textAt(int column) const {
    const sr::ColumnValue* value = valueAt(column);
    return value != nullptr && value->IsText() ? std::string(value->Text()) : std::string();
  }

  std::optional<std::int64_t> integerAt(int column) const {
    if (column >= 0 && column == m_table.shape.rowIdColumn) return m_row.rowId;
    const sr::ColumnValue* value = valueAt(column);
    if (value == nullptr || !value->IsInteger()) return std::nullopt;
    return value->Integer();
  }

  // A Core Data date column (REAL, or INTEGER when whole) as local time text.
  std::string dateAt(int column) const {
    const sr::ColumnValue* value = valueAt(column);
    if (value == nullptr) return {};
    double seconds = 0;
    if (value->IsFloat()) {
      seconds = value->Float();
    } else if (value->IsInteger()) {
      seconds = static_cast<double>(value->Integer());
    } else {
      return {};
    }
    if (!std::isfinite(seconds) || std::fabs(seconds) > kLargestDateSeconds) return {};
    return apps::FormatLocalDate(static_cast<std::int64_t>(std::floor(seconds)) + apps::kAppleEpochInUnixSeconds);
  }

 private:
  const sr::ColumnValue* valueAt(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= m_values.size()) return nullptr;
    return &m_values[static_cast<std::size_t>(column)];
  }

  const sr::RecoveredTable& m_table;
  const sr::RecoveredRow& m_row;
  std::vector<sr::ColumnValue> m_values;
  bool m_complete = false;
};

// Hands each live, well-formed row of a table to a function.
class LiveRowSink : public sr::RowSink {
 public:
  explicit LiveRowSink(std::function<void(const LiveRow&)> visit) : m_visit(std::move(visit)) {}
  void OnRow(const sr::RecoveredTable& table, const sr::RecoveredRow& row) override {
    if (row.deleted) return;
    const LiveRow values(table, row);
    if (values.Complete()) m_visit(values);
  }

 private:
  std::function<void(const LiveRow&)> m_visit;
};

// Original names by the Z_PK of their ZADDITIONALASSETATTRIBUTES row.
std::map<std::int64_t, std::string> readOriginalNames(sr::DatabaseRecovery& recovery) {
  std::map<std::int64_t, std::string> names;
  const std::optional<std::size_t> attributes = recovery.FindTable(kAttributesTable);
  if (!attributes) return names;
  const int key = columnOf(recovery.Tables()[*attributes], "Z_PK");
  const int name = columnOf(recovery.Tables()[*attributes], "ZORIGINALFILENAME");
  if (key < 0 || name < 0) return names;
  LiveRowSink sink([&](const LiveRow& row) {
    if (const std::optional<std::int64_t> pk = row.integerAt(key)) names[*pk] = row.textAt(name);
  });
  // A table read short still gives the names it reached.
  (void)recovery.Recover(*attributes, sink);
  return names;
}

}  // namespace

std::string_view PhotoLibraryKey(std::string_view entryName) {
  if (!entryName.starts_with(kCameraRollMedia)) return {};
  return entryName.substr(kCameraRollMedia.size());
}

std::error_code ReadPhotoLibrary(const std::string& path, PhotoLibrary* library) {
  library->clear();
  sr::DatabaseRecovery recovery;
  if (const std::error_code opened = recovery.Open(path)) return opened;
  std::optional<std::size_t> assets;
  for (std::string_view name : kAssetTables) {
    if (!assets) assets = recovery.FindTable(name);
  }
  if (!assets) return kBadFile;
  const sr::RecoveredTable& table = recovery.Tables()[*assets];
  const int directory = columnOf(table, "ZDIRECTORY");
  const int fileName = columnOf(table, "ZFILENAME");
  if (directory < 0 || fileName < 0) return kBadFile;
  const int trashedState = columnOf(table, "ZTRASHEDSTATE");
  const int trashedDate = columnOf(table, "ZTRASHEDDATE");
  const int created = columnOf(table, "ZDATECREATED");
  const int attributesKey = columnOf(table, "ZADDITIONALATTRIBUTES");
  const std::map<std::int64_t, std::string> originalNames = readOriginalNames(recovery);

  LiveRowSink sink([&](const LiveRow& row) {
    const std::string folder = row.textAt(directory);
    const std::string name = row.textAt(fileName);
    if (folder.empty() || name.empty()) return;  // an asset without a file of its own (a cloud-only picture)
    PhotoAsset asset;
    asset.trashed = row.integerAt(trashedState).value_or(0) == 1;
    if (asset.trashed) asset.trashedDate = row.dateAt(trashedDate);
    asset.created = row.dateAt(created);
    if (const std::optional<std::int64_t> key = row.integerAt(attributesKey)) {
      const auto found = originalNames.find(*key);
      if (found != originalNames.end()) asset.originalName = found->second;
    }
    (*library)[folder + "/" + name] = std::move(asset);
  });
  return recovery.Recover(*assets, sink);
}

}  // namespace scrivel
