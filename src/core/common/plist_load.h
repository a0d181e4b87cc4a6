// The one way a property list from a backup is turned into a libplist tree:
// Info.plist, Manifest.plist, the keybag inside it and the file records of
// Manifest.db all come through here.
//
// libplist trusts its input: it reads any size and recurses once per nesting
// level, so a small file of deeply nested arrays overflows the stack. Here a
// list is refused, with a reason, when it is
//   - larger than kMaxPlistSize (the file is not even read to its end),
//   - nested deeper than kMaxPlistDepth, or expanding into more than
//     kMaxPlistNodes nodes (plist_nesting.h measures both without
//     recursion),
//   - not a property list libplist can read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "core/common/plist_values.h"

namespace scrivel {

// The Info.plist of a real backup, the largest list we read, holds tens of
// megabytes at most (mostly application icons and data).
inline constexpr std::uint64_t kMaxPlistSize = std::uint64_t{64} << 20;
// Real lists nest a dozen levels; libplist's recursion stays far from the
// end of even a small thread stack at this depth.
inline constexpr std::uint32_t kMaxPlistDepth = 256;
inline constexpr std::uint64_t kMaxPlistNodes = std::uint64_t{8} << 20;

// Parses `bytes` into `out` (reset first). Returns success, or kBadFile with
// a short reason in `problem` ("it is nested more than 256 levels deep").
[[nodiscard]] std::error_code ParseCheckedPlist(std::span<const std::uint8_t> bytes, PlistPtr& out,
                                                std::string& problem);

// Reads the property-list file `path` into `bytes` (cleared first), opened as
// OpenRegularFileForReading does. Returns success; the system's error when it
// cannot be opened or read (ENOENT when it is absent); kBadFile when it is not
// a regular file or is larger than kMaxPlistSize. `problem` then says why.
[[nodiscard]] std::error_code ReadPlistBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                                             std::string& problem);

// ReadPlistBytes, then ParseCheckedPlist.
[[nodiscard]] std::error_code ReadPlistFile(const std::filesystem::path& path, PlistPtr& out, std::string& problem);

}  // namespace scrivel
