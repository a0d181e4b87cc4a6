#include "core/recovery/photo_library.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite/generic_rows.h"
#include "core/apps/local_date.h"
#include "core/sqlite/sqlite_reader.h"

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

const sr::TableDescription* findTable(const std::vector<sr::TableDescription>& tables, std::string_view name) {
  for (const sr::TableDescription& table : tables) {
    if (sameName(table.name, name)) return &table;
  }
  return nullptr;
}

// The position of column `name` in `table`, or -1.
int columnOf(const sr::TableDescription& table, std::string_view name) {
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (sameName(table.columns[i], name)) return static_cast<int>(i);
  }
  return -1;
}

const sr::GenericValue* valueAt(const sr::GenericRow& row, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= row.values.size()) return nullptr;
  return &row.values[static_cast<std::size_t>(column)];
}

std::string textAt(const sr::GenericRow& row, int column) {
  const sr::GenericValue* value = valueAt(row, column);
  const auto* text = value != nullptr ? std::get_if<std::string>(value) : nullptr;
  return text != nullptr ? *text : std::string();
}

std::optional<std::int64_t> integerAt(const sr::GenericRow& row, int column) {
  const sr::GenericValue* value = valueAt(row, column);
  if (value == nullptr) return std::nullopt;
  if (const auto* integer = std::get_if<std::int64_t>(value)) return *integer;
  return std::nullopt;
}

// A Core Data date column (REAL, or INTEGER when whole) as local time text.
std::string dateAt(const sr::GenericRow& row, int column) {
  const sr::GenericValue* value = valueAt(row, column);
  if (value == nullptr) return {};
  double seconds = 0;
  if (const auto* real = std::get_if<double>(value)) {
    seconds = *real;
  } else if (const auto* integer = std::get_if<std::int64_t>(value)) {
    seconds = static_cast<double>(*integer);
  } else {
    return {};
  }
  if (!std::isfinite(seconds) || std::fabs(seconds) > kLargestDateSeconds) return {};
  return apps::FormatLocalDate(static_cast<std::int64_t>(std::floor(seconds)) + apps::kAppleEpochInUnixSeconds);
}

// Original names by the Z_PK of their ZADDITIONALASSETATTRIBUTES row.
std::map<std::int64_t, std::string> readOriginalNames(sr::SqliteReader& reader,
                                                      const std::vector<sr::TableDescription>& tables) {
  std::map<std::int64_t, std::string> names;
  const sr::TableDescription* attributes = findTable(tables, kAttributesTable);
  if (attributes == nullptr) return names;
  const int key = columnOf(*attributes, "Z_PK");
  const int name = columnOf(*attributes, "ZORIGINALFILENAME");
  if (key < 0 || name < 0) return names;
  // A table read short still gives the names it reached.
  (void)sr::ScanGenericRows(reader, *attributes, [&](const sr::GenericRow& row) {
    if (row.origin.deleted) return;
    if (const std::optional<std::int64_t> pk = integerAt(row, key)) names[*pk] = textAt(row, name);
  });
  return names;
}

}  // namespace

std::string_view PhotoLibraryKey(std::string_view entryName) {
  if (!entryName.starts_with(kCameraRollMedia)) return {};
  return entryName.substr(kCameraRollMedia.size());
}

std::error_code ReadPhotoLibrary(const std::string& path, PhotoLibrary* library) {
  library->clear();
  sr::SqliteReader reader;
  if (const std::error_code opened = reader.Open(path)) return opened;
  std::vector<sr::TableDescription> tables;
  if (const std::error_code listed = sr::ListTables(reader, &tables)) return listed;
  const sr::TableDescription* assets = nullptr;
  for (std::string_view name : kAssetTables) {
    if (assets == nullptr) assets = findTable(tables, name);
  }
  if (assets == nullptr) return kBadFile;
  const int directory = columnOf(*assets, "ZDIRECTORY");
  const int fileName = columnOf(*assets, "ZFILENAME");
  if (directory < 0 || fileName < 0) return kBadFile;
  const int trashedState = columnOf(*assets, "ZTRASHEDSTATE");
  const int trashedDate = columnOf(*assets, "ZTRASHEDDATE");
  const int created = columnOf(*assets, "ZDATECREATED");
  const int attributesKey = columnOf(*assets, "ZADDITIONALATTRIBUTES");
  const std::map<std::int64_t, std::string> originalNames = readOriginalNames(reader, tables);

  return sr::ScanGenericRows(reader, *assets, [&](const sr::GenericRow& row) {
    if (row.origin.deleted) return;
    const std::string folder = textAt(row, directory);
    const std::string name = textAt(row, fileName);
    if (folder.empty() || name.empty()) return;  // an asset without a file of its own (a cloud-only picture)
    PhotoAsset asset;
    asset.trashed = integerAt(row, trashedState).value_or(0) == 1;
    if (asset.trashed) asset.trashedDate = dateAt(row, trashedDate);
    asset.created = dateAt(row, created);
    if (const std::optional<std::int64_t> key = integerAt(row, attributesKey)) {
      const auto found = originalNames.find(*key);
      if (found != originalNames.end()) asset.originalName = found->second;
    }
    (*library)[folder + "/" + name] = std::move(asset);
  });
}

}  // namespace scrivel
