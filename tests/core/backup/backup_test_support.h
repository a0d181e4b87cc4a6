// Helpers shared by the backup tests: a temporary folder that removes
// itself, file writing, and a writer for hand-made Manifest.mbdb images.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/backup/mbdb_reader.h"
#include "fixtures/temporary_folder.h"

namespace scrivel::testing {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes away.
using TempFolder = fixtures::TemporaryFolder;

// Writes `content` to `path`, creating missing parent folders.
void WriteFile(const std::filesystem::path& path, std::string_view content);
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& content);

// One row of the Files table of a hand-made Manifest.db; nullopt is NULL.
struct ManifestDbRow {
  std::optional<std::string> fileId;
  std::optional<std::string> domain;
  std::optional<std::string> relativePath;
};

// Writes a Manifest.db with the real Files table layout and these rows
// (flags 1 = file), through SQLite.
void WriteManifestDb(const std::filesystem::path& path, const std::vector<ManifestDbRow>& rows);

// Builds a Manifest.mbdb image field by field, in the layout mbdb_reader.h
// describes. Absent strings are written as length 0xFFFF.
class MbdbWriter {
 public:
  MbdbWriter();  // writes the magic and version 5.0

  // Appends a complete record with every field of `record`. Empty
  // linkTarget, dataHash and encryptionKey are written as absent strings.
  MbdbWriter& Add(const MbdbRecord& record);
  // Appends a file, folder or link record with the given mode and all other
  // fields zero or absent.
  MbdbWriter& Add(std::string_view domain, std::string_view path, std::uint16_t mode);

  const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

  // Raw pieces, for hand-made damaged images.
  void PutUint8(std::uint8_t value);
  void PutUint16(std::uint16_t value);
  void PutUint32(std::uint32_t value);
  void PutUint64(std::uint64_t value);
  void PutString(std::string_view bytes);
  void PutAbsentString();

 private:
  std::vector<std::uint8_t> m_bytes;
};

}  // namespace scrivel::testing
