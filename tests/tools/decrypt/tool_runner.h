// Helpers of the decryption tests: a temporary folder, running the built tool
// with arguments and standard input, and a snapshot of a folder's contents to
// prove that the backup folder was not touched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fixtures/temporary_folder.h"

namespace scrivel::decrypt_test {

std::filesystem::path ToolPath();  // SCRIVEL_TEST_BIN_DIR/tool

// A fresh folder under the system's temporary folder, removed at the end.
using TempFolder = fixtures::TemporaryFolder;

struct ToolResult {
  int exitCode = -1;
  std::string output;  // standard output and error
  bool HasLine(const std::string& line) const;
  bool HasLineStartingWith(const std::string& prefix) const;
  std::uint64_t LastCount() const;  // the number of the last "Count:" line; 0 without one
};

// Runs the tool with `arguments` and `input` on its standard input, to its end.
ToolResult RunTool(const std::vector<std::string>& arguments, const std::string& input);

// Relative path -> contents of every file below `folder`.
std::map<std::string, std::string> SnapshotFolder(const std::filesystem::path& folder);

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytesTo(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace scrivel::decrypt_test
