#include "export_fixture.h"

#include <fstream>
#include <random>
#include <sstream>

#include "core/common/result_codes.h"
#include "core/recovery/file_copy.h"

namespace scrivel::testing {

namespace fs = std::filesystem;

std::error_code FakeExportSource::CopyOut(const std::string& source, const std::string& destination,
                              CopyProgressCallback callback, void* userData) {
  return scrivel::CopyOut(source, destination, callback, userData);
}

std::error_code FakeExportSource::ExportMessagesCsv(const std::string& csvPath) {
  if (rowFileResult) return rowFileResult;
  std::ofstream(csvPath, std::ios::binary | std::ios::app) << "sms rows\r\n";
  return {};
}

std::error_code FakeExportSource::ExportContactsCsv(const std::string& csvPath) {
  if (rowFileResult) return rowFileResult;
  std::ofstream(csvPath, std::ios::binary | std::ios::app) << "contact rows\r\n";
  return {};
}

void ExportFixture::SetUp() {
  m_dir = fs::temp_directory_path() / ("scrivel-export-" + std::to_string(std::random_device{}()));
  m_store = m_dir / "store";
  m_templates = m_dir / "template";
  m_out = m_dir / "out";
  fs::create_directories(m_store);
  fs::copy(fs::path(SCRIVEL_SOURCE_DIR) / "resources" / "template", m_templates);
}

void ExportFixture::TearDown() { fs::remove_all(m_dir); }

FileItem ExportFixture::StoredFile(const std::string& name, std::uint64_t size, const std::string& app) {
  static int counter = 0;
  const fs::path path = m_store / ("stored-" + std::to_string(++counter));
  std::string bytes(size, '\0');
  for (std::uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  std::ofstream(path, std::ios::binary) << bytes;
  FileItem file;
  file.name = name;
  file.size = size;
  file.path = path.string();
  file.app = app;
  return file;
}

void ExportFixture::RegisterAll(std::initializer_list<CategoryKind> order) {
  const std::span<const CategoryKind> kinds =
      order.size() == 0 ? std::span<const CategoryKind>(kAllCategoryKinds) : std::span<const CategoryKind>(order);
  for (CategoryKind kind : kinds) {
    PrepareCategory(kind, m_results, m_rows);
    RegisterScanCategory(m_stats, kind, m_results, m_rows);
  }
}

std::error_code ExportFixture::Export(IExportObserver* observer, bool json) {
  m_progress = std::make_unique<ExportProgress>(observer);
  ExportRequest request;
  request.exportRoot = m_out.string();
  request.deviceName = "Test iPhone";
  request.templateFolder = m_templates.string();
  request.stamp = kExportStamp;
  request.writeRecordsJson = json;
  request.writeIndex = true;
  request.statistics = &m_stats;
  request.conversations = &m_results.messages;
  request.chats = &m_results.whatsApp;
  request.source = &m_source;
  return RunExport(request, *m_progress);
}

std::set<std::string> ExportFixture::FilesBelow(const fs::path& root) {
  std::set<std::string> files;
  if (!fs::exists(root)) return files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
  }
  return files;
}

std::string ExportFixture::Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

}  // namespace scrivel::testing
