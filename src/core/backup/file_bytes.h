// Reading a file of a backup into memory, read-only. The backup folder is
// never written; files are opened as OpenRegularFileForReading does, so a
// symbolic link is never followed and a FIFO never blocks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace scrivel {

// What went wrong when a file could not be read.
enum class FileReadError {
  kNone,
  kCannotOpen,  // missing, not a regular file, a symbolic link, or no permission
  kReadFailed,  // opened, but the bytes could not be read or held in memory
};

// Reads at most `maxBytes` bytes from the start of `path` into `out`
// (cleared first). Fewer bytes are read when the file is shorter.
FileReadError ReadFileHead(const std::filesystem::path& path, std::uint64_t maxBytes,
                           std::vector<std::uint8_t>& out);

// Reads the whole file `path` into `out` (cleared first).
FileReadError ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out);

}  // namespace scrivel
