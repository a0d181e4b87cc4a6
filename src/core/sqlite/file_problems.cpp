#include "core/sqlite/file_problems.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <system_error>
#include <vector>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/common/unique_fd.h"
#include "core/sqlite/database_header.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/schema.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

std::string Hex(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", byte);
  return text;
}

bool IsTablePageType(std::uint8_t type) { return type == fmt::kTableLeafPage || type == fmt::kTableInteriorPage; }

// What is wrong with a file that SqliteReader::Open called no database.
std::string HeaderProblem(const std::string& path) {
  UniqueFd file;
  if (const std::error_code opened = OpenRegularFileForReading(path, file)) {
    return opened == kBadFile ? "it is not a regular file" : opened.message();
  }
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) return make_error_code(kBadFile).message();
  if (status.st_size == 0) return "the file is empty";
  std::array<std::uint8_t, fmt::kDatabaseHeaderSize> header{};
  const ssize_t got = ::pread(file.Get(), header.data(), header.size(), 0);
  const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
  if (!HasSqliteMagic(Bytes(header).first(size))) {
    if (size < fmt::kMagicSize) {
      return "the file is " + std::to_string(size) + " bytes long, too short for a database header";
    }
    return "it does not start with the text \"SQLite format 3\": it is not an SQLite database";
  }
  const std::uint16_t field = *Read16(header, fmt::kPageSizeOffset);
  if (PageSizeFromField(field) == 0) {
    return "its page-size field holds " + std::to_string(field) + ", not a power of two from 512 to 65536";
  }
  return make_error_code(kBadFile).message();
}

}  // namespace

std::string OpenProblem(const SqliteReader& reader, const std::string& path) {
  if (reader.OpenSystemError()) return reader.OpenSystemError().message();
  return HeaderProblem(path);
}

std::string SchemaProblem(const SqliteReader& reader) {
  if (reader.PageCount() == 0) {
    return "the file is " + std::to_string(reader.FileSize()) + " bytes long, shorter than one page of " +
           std::to_string(reader.PageSize()) + " bytes, so its schema cannot be read";
  }
  std::vector<std::uint8_t> page(reader.PageSize());
  if (const std::error_code rc = reader.ReadPage(0, page); rc) return "page 1 cannot be read: " + rc.message();
  const std::size_t headerOffset = PageHeaderOffset(0);
  const std::uint8_t type = page[headerOffset + fmt::kPageTypeOffset];
  if (!IsTablePageType(type)) {
    return "page 1, the root of the schema, is not a table b-tree page (its type byte is " + Hex(type) +
           "), so the schema cannot be read";
  }
  const auto header = ReadPageHeader(page, headerOffset);
  if (!header) return "the page header of page 1, the root of the schema, is damaged";
  std::vector<SchemaEntry> entries;
  if (const std::error_code rc = ReadSchema(reader, &entries); rc) {
    return "a page of the schema cannot be read (" + rc.message() + "), so tables may be missing";
  }
  if (entries.empty() && header->IsTableLeaf() && header->cellCount > 0) {
    return "page 1, the schema, holds " + std::to_string(header->cellCount) +
           " cells, but none of them is a readable schema row";
  }
  return "";
}

std::string RootPageProblem(const SqliteReader& reader, std::uint32_t rootPage) {
  const std::string root = "its root page " + std::to_string(rootPage);
  if (rootPage == 0 || rootPage > reader.PageCount()) {
    return root + " lies outside the file, which has " + std::to_string(reader.PageCount()) + " pages";
  }
  std::uint8_t type = 0;
  if (const std::error_code rc = reader.ReadPageType(rootPage - 1, &type); rc) {
    return root + " cannot be read: " + rc.message();
  }
  if (!IsTablePageType(type)) return root + " is not a table b-tree page (its type byte is " + Hex(type) + ")";
  return "";
}

}  // namespace scrivel::sqlite
