#include "support/page_builder.h"

#include <bit>
#include <stdexcept>

#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite::testing {

namespace fmt = sqlite_format;

namespace {

void AppendVarint(std::uint64_t value, std::vector<std::uint8_t>& out) {
  if (value >> 56) {  // nine bytes: eight of seven bits, then the low eight
    for (int i = 7; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> (8 + 7 * i)) & 0x7F)));
    out.push_back(static_cast<std::uint8_t>(value));
    return;
  }
  std::size_t size = 1;
  while (size < 8 && (value >> (7 * size)) != 0) ++size;
  for (std::size_t i = size; i-- > 1;) out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> (7 * i)) & 0x7F)));
  out.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

std::size_t VarintLength(std::uint64_t value) {
  std::vector<std::uint8_t> bytes;
  AppendVarint(value, bytes);
  return bytes.size();
}

std::vector<std::uint8_t> BigEndian(std::uint64_t value, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[size - 1 - i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

}  // namespace

TestValue TestValue::Null() { return {fmt::kSerialNull, {}}; }

TestValue TestValue::Integer(std::int64_t value) {
  if (value == 0) return {fmt::kSerialZero, {}};
  if (value == 1) return {fmt::kSerialOne, {}};
  const auto bits = static_cast<std::uint64_t>(value);
  const std::pair<std::uint64_t, std::size_t> sizes[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 6}, {6, 8}};
  for (const auto& [type, size] : sizes) {
    const std::int64_t limit = size == 8 ? 0 : std::int64_t{1} << (8 * size - 1);
    if (size == 8 || (value >= -limit && value < limit)) return {type, BigEndian(bits, size)};
  }
  return {};
}

TestValue TestValue::Real(double value) { return {fmt::kSerialFloat64, BigEndian(std::bit_cast<std::uint64_t>(value), 8)}; }

TestValue TestValue::Text(const std::string& text) {
  return {fmt::kSerialFirstText + 2 * text.size(), std::vector<std::uint8_t>(text.begin(), text.end())};
}

TestValue TestValue::Blob(const std::vector<std::uint8_t>& bytes) { return {fmt::kSerialFirstBlob + 2 * bytes.size(), bytes}; }

std::vector<std::uint8_t> EncodeRecord(const std::vector<TestValue>& values) {
  std::vector<std::uint8_t> types;
  for (const TestValue& value : values) AppendVarint(value.serialType, types);
  std::size_t headerSize = types.size() + 1;
  if (VarintLength(headerSize) > 1) headerSize = types.size() + 2;
  std::vector<std::uint8_t> record;
  AppendVarint(headerSize, record);
  record.insert(record.end(), types.begin(), types.end());
  for (const TestValue& value : values) record.insert(record.end(), value.bytes.begin(), value.bytes.end());
  return record;
}

std::vector<std::uint8_t> EncodeTableLeafCell(std::int64_t rowId, const std::vector<TestValue>& values) {
  const std::vector<std::uint8_t> record = EncodeRecord(values);
  std::vector<std::uint8_t> cell;
  AppendVarint(record.size(), cell);
  AppendVarint(static_cast<std::uint64_t>(rowId), cell);
  cell.insert(cell.end(), record.begin(), record.end());
  return cell;
}

PageBuilder::PageBuilder(std::size_t pageSize, std::size_t headerOffset) : m_page(pageSize), m_headerOffset(headerOffset) {
  SetPageType(fmt::kTableLeafPage);
  SetCellContentStart(static_cast<std::uint16_t>(pageSize == fmt::kMaxPageSize ? 0 : pageSize));
}

PageBuilder& PageBuilder::SetPageType(std::uint8_t type) {
  m_page.at(m_headerOffset + fmt::kPageTypeOffset) = type;
  return *this;
}

PageBuilder& PageBuilder::SetFirstFreeBlock(std::uint16_t offset) {
  Put16(m_headerOffset + fmt::kFirstFreeBlockOffset, offset);
  return *this;
}

PageBuilder& PageBuilder::SetCellCount(std::uint16_t count) {
  Put16(m_headerOffset + fmt::kCellCountOffset, count);
  return *this;
}

PageBuilder& PageBuilder::SetCellContentStart(std::uint16_t offset) {
  Put16(m_headerOffset + fmt::kCellContentStartOffset, offset);
  return *this;
}

PageBuilder& PageBuilder::SetCellPointer(std::size_t index, std::uint16_t offset) {
  Put16(m_headerOffset + fmt::kLeafPageHeaderSize + index * fmt::kCellPointerSize, offset);
  return *this;
}

PageBuilder& PageBuilder::PutCell(std::size_t offset, const std::vector<std::uint8_t>& cell) { return PutBytes(offset, cell); }

PageBuilder& PageBuilder::PutFreeBlock(std::size_t offset, std::uint16_t nextOffset, std::uint16_t size) {
  Put16(offset, nextOffset);
  Put16(offset + 2, size);
  return *this;
}

PageBuilder& PageBuilder::PutBytes(std::size_t offset, const std::vector<std::uint8_t>& bytes) {
  if (offset > m_page.size() || bytes.size() > m_page.size() - offset) throw std::out_of_range("bytes past the page");
  std::copy(bytes.begin(), bytes.end(), m_page.begin() + static_cast<std::ptrdiff_t>(offset));
  return *this;
}

PageBuilder& PageBuilder::Truncate(std::size_t size) {
  if (size < m_page.size()) m_page.resize(size);
  return *this;
}

void PageBuilder::Put16(std::size_t offset, std::uint16_t value) {
  m_page.at(offset) = static_cast<std::uint8_t>(value >> 8);
  m_page.at(offset + 1) = static_cast<std::uint8_t>(value);
}

}  // namespace scrivel::sqlite::testing
