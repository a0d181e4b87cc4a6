#include "core/common/plist_load.h"

#include <utility>

#include "core/common/plist_nesting.h"
#include "core/common/regular_file.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

std::error_code Refuse(std::string& problem, std::string reason) {
  problem = std::move(reason);
  return kBadFile;
}

}  // namespace

std::error_code ParseCheckedPlist(std::span<const std::uint8_t> bytes, PlistPtr& out, std::string& problem) {
  out.reset();
  problem.clear();
  if (bytes.empty()) return Refuse(problem, "it is empty");
  if (bytes.size() > kMaxPlistSize) return Refuse(problem, "it is larger than 64 MB");
  switch (CheckPlistNesting(bytes, kMaxPlistDepth, kMaxPlistNodes)) {
    case PlistNesting::kWithinLimits: break;
    case PlistNesting::kTooDeep: return Refuse(problem, "it is nested more than 256 levels deep");
    case PlistNesting::kTooManyNodes: return Refuse(problem, "its shared entries expand to too many values");
    case PlistNesting::kMalformed: return Refuse(problem, "it is not a property list");
  }
  plist_t root = nullptr;
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  const auto size = static_cast<std::uint32_t>(bytes.size());  // at most kMaxPlistSize
  if (IsBinaryPlist(bytes)) {
    plist_from_bin(data, size, &root);
  } else {
    plist_from_xml(data, size, &root);
  }
  if (root == nullptr) return Refuse(problem, "it is not a property list");
  out.reset(root);
  return {};
}

std::error_code ReadPlistBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                               std::string& problem) {
  bytes.clear();
  problem.clear();
  UniqueFd file;
  if (const std::error_code opened = OpenRegularFileForReading(path.string(), file)) {
    problem = opened == kBadFile ? "it is not a regular file" : "it cannot be opened (" + opened.message() + ")";
    return opened;
  }
  // One byte more than allowed tells a file that is too large without
  // reading the rest of it.
  if (const std::error_code read = ReadOpenFile(file, kMaxPlistSize + 1, bytes)) {
    problem = "it cannot be read (" + read.message() + ")";
    return read;
  }
  if (bytes.size() > kMaxPlistSize) {
    bytes.clear();
    return Refuse(problem, "it is larger than 64 MB");
  }
  return {};
}

std::error_code ReadPlistFile(const std::filesystem::path& path, PlistPtr& out, std::string& problem) {
  out.reset();
  std::vector<std::uint8_t> bytes;
  if (const std::error_code read = ReadPlistBytes(path, bytes, problem)) return read;
  return ParseCheckedPlist(bytes, out, problem);
}

}  // namespace scrivel
