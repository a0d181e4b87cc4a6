#include "tool_runner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/backup/decryption_tool_process.h"
#include "core/common/result_codes.h"

namespace scrivel::decrypt_test {

namespace fs = std::filesystem;

fs::path ToolPath() { return fs::path(SCRIVEL_TEST_BIN_DIR) / "tool"; }

bool ToolResult::HasLine(const std::string& line) const {
  std::istringstream stream(output);
  for (std::string current; std::getline(stream, current);) {
    if (current == line) return true;
  }
  return false;
}

bool ToolResult::HasLineStartingWith(const std::string& prefix) const {
  std::istringstream stream(output);
  for (std::string current; std::getline(stream, current);) {
    if (current.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

std::uint64_t ToolResult::LastCount() const {
  std::istringstream stream(output);
  std::uint64_t count = 0;
  for (std::string current; std::getline(stream, current);) {
    if (current.rfind("Count: ", 0) == 0) count = std::stoull(current.substr(7));
  }
  return count;
}

ToolResult RunTool(const std::vector<std::string>& arguments, const std::string& input) {
  ToolResult result;
  DecryptionToolProcess tool;
  EXPECT_FALSE(tool.Start(ToolPath(), arguments, input));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (tool.Read(std::chrono::milliseconds(100), result.output) != DecryptionToolProcess::ReadStatus::kEnd) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the tool did not end";
      tool.Terminate();
      return result;
    }
  }
  result.exitCode = tool.Wait();
  return result;
}

std::map<std::string, std::string> SnapshotFolder(const fs::path& folder) {
  std::map<std::string, std::string> snapshot;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::vector<std::uint8_t> bytes = ReadBytes(entry.path());
    snapshot[fs::relative(entry.path(), folder).string()] = std::string(bytes.begin(), bytes.end());
  }
  return snapshot;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

void WriteBytesTo(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace scrivel::decrypt_test
