// Keeps the core's folders in layers: a file may include core headers of its
// own folder and of the folders below it, never of a folder above it, so that
// no cycle between folders can land. The table is the one place that says
// which folder may use which.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Folder of src/core -> the other core folders its files may include.
const std::map<std::string, std::set<std::string>>& AllowedIncludes() {
  static const std::map<std::string, std::set<std::string>> table = {
      {"common", {}},
      {"crypto", {"common"}},
      {"backup", {"common", "crypto"}},
      {"sqlite", {"common"}},
      {"apps", {"common", "sqlite"}},
      {"device", {"common", "crypto", "backup"}},
      {"recovery", {"common", "crypto", "backup", "sqlite", "apps", "device"}},
      {"results", {"common", "backup", "recovery", "sqlite", "apps"}},
      {"export", {"common", "backup", "recovery", "results", "sqlite", "apps"}},
  };
  return table;
}

struct IncludeFinding {
  std::string file;
  std::string line;
};

// Every `#include "core/FOLDER/..."` of the core whose folder is neither the
// including file's own nor one it may use.
std::vector<IncludeFinding> ForbiddenIncludes(const fs::path& coreRoot, std::vector<std::string>& unknownFolders) {
  static const std::regex coreInclude(R"(^\s*#\s*include\s*"core/([^/"]+)/)");
  std::vector<IncludeFinding> findings;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(coreRoot)) {
    if (!entry.is_regular_file()) continue;
    const std::string extension = entry.path().extension().string();
    if (extension != ".h" && extension != ".cpp") continue;
    const std::string folder = fs::relative(entry.path(), coreRoot).begin()->string();
    const auto allowed = AllowedIncludes().find(folder);
    if (allowed == AllowedIncludes().end()) {
      unknownFolders.push_back(folder);
      continue;
    }
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      std::smatch match;
      if (!std::regex_search(line, match, coreInclude)) continue;
      const std::string target = match[1].str();
      if (target == folder || allowed->second.contains(target)) continue;
      findings.push_back({fs::relative(entry.path(), coreRoot).string(), line});
    }
  }
  return findings;
}

TEST(IncludeLayers, CoreFoldersIncludeOnlyTheLayersBelowThem) {
  const fs::path coreRoot = fs::path(SCRIVEL_SOURCE_DIR) / "src" / "core";
  ASSERT_TRUE(fs::is_directory(coreRoot));
  std::vector<std::string> unknownFolders;
  const std::vector<IncludeFinding> findings = ForbiddenIncludes(coreRoot, unknownFolders);
  for (const IncludeFinding& finding : findings) ADD_FAILURE() << finding.file << ": " << finding.line;
  std::set<std::string> uniqueUnknown(unknownFolders.begin(), unknownFolders.end());
  for (const std::string& folder : uniqueUnknown) {
    ADD_FAILURE() << "src/core/" << folder << " has no row in the layer table of this test";
  }
}

// The table itself must be free of cycles, or the check above proves nothing.
TEST(IncludeLayers, LayerTableHasNoCycle) {
  const auto& table = AllowedIncludes();
  std::map<std::string, int> state;  // 0 unvisited, 1 on the current path, 2 done
  std::vector<std::string> cycle;
  std::function<bool(const std::string&)> visit = [&](const std::string& folder) {
    if (state[folder] == 1) return true;
    if (state[folder] == 2) return false;
    state[folder] = 1;
    const auto row = table.find(folder);
    if (row != table.end()) {
      for (const std::string& below : row->second) {
        if (visit(below)) {
          cycle.push_back(folder);
          return true;
        }
      }
    }
    state[folder] = 2;
    return false;
  };
  for (const auto& [folder, allowed] : table) {
    (void)allowed;
    EXPECT_FALSE(visit(folder)) << "cycle through " << (cycle.empty() ? folder : cycle.front());
  }
}

}  // namespace
