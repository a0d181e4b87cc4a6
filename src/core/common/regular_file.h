// Opens a file of a backup (or any file the person handed us) for reading,
// safely: only a regular file is opened, a symbolic link is never followed at
// the file or at its folder, and the open never waits (a FIFO or a device
// node placed in a backup would otherwise block open() for ever).
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "core/common/unique_fd.h"

namespace scrivel {

// Opens `path` read-only into `out` (closed first). Returns success; kBadFile
// when the file or its folder is a symbolic link, or the file is not a
// regular file; the system's error when it cannot be opened (ENOENT for a
// missing file, EACCES for one that cannot be read).
[[nodiscard]] std::error_code OpenRegularFileForReading(const std::string& path, UniqueFd& out);

// Reads from the current position of `file` into `out` (cleared first) until
// the file ends or `maxBytes` bytes are in; never asks for more memory than
// the file holds. Returns success, or the system's error (out cleared).
[[nodiscard]] std::error_code ReadOpenFile(const UniqueFd& file, std::uint64_t maxBytes, std::vector<std::uint8_t>& out);

}  // namespace scrivel
