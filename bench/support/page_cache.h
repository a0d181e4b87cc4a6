// Puts files out of the kernel's page cache, so that the next read of them
// comes from the disk, as when a user first opens a backup. A benchmark
// that compares its reading of a backup with cat or cp measures both ways:
// warm (the files in memory: processor cost alone) and cold (the files on
// the disk: the cost a user meets).
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

namespace scrivel::bench {

// Writes out the file's dirty pages (a cached page is dropped only when
// clean) and asks the kernel to drop its cached pages.
inline void DropFileFromPageCache(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

// The same for a file, or for every regular file below a folder.
inline void DropFromPageCache(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) {
    DropFileFromPageCache(path);
    return;
  }
  for (std::filesystem::recursive_directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error)) DropFileFromPageCache(it->path());
  }
}

// The share (0 to 1) of the file's pages that are in the page cache, or -1
// when it cannot be told. A file system that keeps files in memory only
// (tmpfs) cannot drop them: its files stay at 1, and cold figures measured
// there are warm ones.
inline double CachedShare(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  double share = -1;
  if (!error && size > 0) {
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (map != MAP_FAILED) {
      const std::uintmax_t pageSize = static_cast<std::uintmax_t>(::sysconf(_SC_PAGESIZE));
      const std::uintmax_t pages = (size + pageSize - 1) / pageSize;
      std::vector<unsigned char> resident(pages, 0);
      if (::mincore(map, size, resident.data()) == 0) {
        std::uintmax_t cached = 0;
        for (const unsigned char flags : resident) cached += flags & 1;
        share = static_cast<double>(cached) / static_cast<double>(pages);
      }
      ::munmap(map, size);
    }
  }
  ::close(fd);
  return share;
}

// True when dropping `file` from the page cache works on its file system.
inline bool CanDropFromPageCache(const std::filesystem::path& file) {
  DropFileFromPageCache(file);
  const double share = CachedShare(file);
  return share >= 0 && share < 0.5;
}

}  // namespace scrivel::bench
