// A scan result built in memory, stored files in a temporary folder, a copy
// of the shipped templates and a recovery source that copies for real: the
// stage for the export tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/export/export_progress.h"
#include "core/export/export_source.h"
#include "core/export/export_worker.h"
#include "core/recovery/scan_results.h"
#include "core/results/scan_categories.h"
#include "core/results/statistics_obj.h"

namespace scrivel::testing {

// Copies with the real CopyOut; writes a marker line as each raw row file.
class FakeExportSource : public IExportSource {
 public:
  std::error_code CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
              void* userData) override;
  std::error_code ExportMessagesCsv(const std::string& csvPath) override;
  std::error_code ExportContactsCsv(const std::string& csvPath) override;

  // When set, both row writers return it and write nothing.
  std::error_code rowFileResult;
};

// The start time every test export uses.
inline constexpr const char* kExportStamp = "20240102030405";

class ExportFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A stored file of `size` bytes (byte i is i % 251) under the store folder.
  FileItem StoredFile(const std::string& name, std::uint64_t size, const std::string& app = "");

  // Prepares and registers every category of m_results, in the order given
  // (all kinds when empty).
  void RegisterAll(std::initializer_list<CategoryKind> order = {});

  // Runs the export into m_out with the fixed stamp.
  [[nodiscard]] std::error_code Export(IExportObserver* observer = nullptr, bool json = false);

  // Every file below `root`, as paths relative to it.
  static std::set<std::string> FilesBelow(const std::filesystem::path& root);
  static std::string Read(const std::filesystem::path& path);

  std::filesystem::path m_dir;        // the test's temporary folder
  std::filesystem::path m_store;      // stored files ("the backup")
  std::filesystem::path m_templates;  // a copy of resources/template
  std::filesystem::path m_out;        // the export root
  ScanResults m_results;
  ConversationRows m_rows;
  CStatisticsObj m_stats;
  FakeExportSource m_source;
  std::unique_ptr<ExportProgress> m_progress;
};

}  // namespace scrivel::testing
