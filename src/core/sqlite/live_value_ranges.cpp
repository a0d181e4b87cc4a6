#include "core/sqlite/live_value_ranges.h"

#include <algorithm>

#include "core/sqlite/cell_payload.h"
#include "core/sqlite/record.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

void LiveValueRanges::NotePage(std::size_t table, Bytes page, const PageHeader& header, std::uint32_t usableSize) {
  if (table >= m_tables.size()) return;
  std::vector<Range>& ranges = m_tables[table];
  for (const std::uint32_t offset : CellOffsets(page, header)) {
    const Varint payloadSize = ReadVarint(page, offset, page.size());
    if (payloadSize.size == 0) continue;
    const Varint rowId = ReadVarint(page, offset + payloadSize.size, page.size());
    if (rowId.size == 0) continue;
    const std::size_t payloadBegin = offset + payloadSize.size + rowId.size;
    if (payloadBegin >= page.size()) continue;
    const std::size_t local = std::min(LocalPayloadSize(payloadSize.value, usableSize), page.size() - payloadBegin);
    const Bytes payload = page.subspan(payloadBegin, local);
    const auto layout = LiveRecordLayout(payload);
    if (!layout) continue;
    // Stops at the first value that is not on the page.
    (void)ForEachColumn(payload, *layout, [&](int column, const ColumnValue& value) {
      if (!value.IsInteger()) return;
      const auto index = static_cast<std::size_t>(column);
      if (index >= ranges.size()) ranges.resize(index + 1);
      Range& range = ranges[index];
      const std::int64_t number = value.Integer();
      range.lowest = range.seen ? std::min(range.lowest, number) : number;
      range.highest = range.seen ? std::max(range.highest, number) : number;
      range.seen = true;
    });
  }
}

namespace {

// Bits of the magnitude of `number` (0 for 0).
int BitLength(std::int64_t number) {
  std::uint64_t magnitude = number < 0 ? ~static_cast<std::uint64_t>(number) + 1 : static_cast<std::uint64_t>(number);
  int bits = 0;
  for (; magnitude != 0; magnitude >>= 1) ++bits;
  return bits;
}

}  // namespace

int LiveValueRanges::Closeness(std::size_t table, Bytes record) const {
  if (table >= m_tables.size()) return 0;
  const std::vector<Range>& ranges = m_tables[table];
  const auto layout = LiveRecordLayout(record);
  if (!layout) return 0;
  int closeness = 0;
  (void)ForEachColumn(record, *layout, [&](int column, const ColumnValue& value) {
    const auto index = static_cast<std::size_t>(column);
    if (!value.IsInteger() || index >= ranges.size() || !ranges[index].seen) return;
    const Range& range = ranges[index];
    const std::int64_t number = value.Integer();
    if (number >= range.lowest && number <= range.highest) {
      closeness += 2;
      return;
    }
    // Same sign as the live values, and of their size.
    if ((number < 0 && range.lowest >= 0) || (number > 0 && range.highest <= 0)) return;
    const int bits = BitLength(number);
    const int fewest = std::min(BitLength(range.lowest), BitLength(range.highest));
    const int most = std::max(BitLength(range.lowest), BitLength(range.highest));
    if (bits >= fewest && bits <= most + 1) closeness += 1;
  });
  return closeness;
}

}  // namespace scrivel::sqlite
