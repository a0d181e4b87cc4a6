// Reads at a byte offset of an open file, shared by the page reader and the
// readers of the files that lie beside a database (the write-ahead log, the
// rollback journal).
#pragma once

#include <system_error>

#include <cstdint>
#include <span>
#include <string>

#include "core/common/unique_fd.h"

namespace scrivel::sqlite {

// Reads up to `buffer.size()` bytes at `offset` of the open file `fd`,
// retrying interrupted reads. Returns the count read (less than asked when
// the file ends first), or -1 with errno set when a read fails.
long long ReadAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset);

// Fills all of `buffer` from `offset` of the open file `fd`. Returns success,
// kShortRead when the file ends first, or the system's error.
[[nodiscard]] std::error_code ReadExactlyAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset);

// Opens `path` as OpenRegularFileForReading does (a regular file, no
// symbolic link) into `out` and stores its size in `*size`. Returns success
// or the system's error.
[[nodiscard]] std::error_code OpenForReadingAt(const std::string& path, UniqueFd& out, std::uint64_t* size);

}  // namespace scrivel::sqlite
