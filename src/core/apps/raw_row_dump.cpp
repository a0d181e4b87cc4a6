#include "core/apps/raw_row_dump.h"

#include <algorithm>

#include "core/apps/assembly_csv.h"
#include "core/sqlite/database_recovery.h"

namespace scrivel::apps {

namespace {

class RawRowWriter : public sqlite::RowSink {
 public:
  RawRowWriter(CsvAppendFile& file, std::uint64_t highestRowId, const RawRowFormat& format)
      : m_file(file), m_highestRowId(highestRowId), m_format(format) {}

  void OnRow(const sqlite::RecoveredTable&, const sqlite::RecoveredRow& row) override {
    if (row.partial) return;  // its lost values would be written as if the row had held NULL
    const auto layout = sqlite::LiveRecordLayout(row.record);
    if (!layout) return;
    std::uint64_t rowNumber = 0;
    if (!row.deleted && row.rowId) {
      rowNumber = static_cast<std::uint64_t>(*row.rowId);
      m_highestRowId = std::max(m_highestRowId, rowNumber);
    } else {
      rowNumber = ++m_highestRowId;
    }
    if (const auto line = m_format(row.record, *layout, rowNumber, row.deleted)) m_file.Write(*line);
  }

 private:
  CsvAppendFile& m_file;
  std::uint64_t m_highestRowId;
  const RawRowFormat& m_format;
};

}  // namespace

std::error_code DumpRawRows(const std::string& databasePath, std::string_view table, const std::string& csvPath,
                            std::uint64_t highestRowId, const RawRowFormat& format) {
  sqlite::DatabaseRecovery recovery;
  if (const std::error_code rc = recovery.Open(databasePath); rc) return rc;
  CsvAppendFile file(csvPath);
  if (file.Error()) return file.Error();
  RawRowWriter writer(file, highestRowId, format);
  const std::optional<std::size_t> index = recovery.FindTable(table);
  const std::error_code walked = index ? recovery.Recover(*index, writer) : std::error_code{};
  if (const std::error_code written = file.Close(); written) return written;
  return walked;
}

}  // namespace scrivel::apps
