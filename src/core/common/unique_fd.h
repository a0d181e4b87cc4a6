// Owns one POSIX file descriptor and closes it when destroyed.
#pragma once

#include <system_error>

#include "core/common/result_codes.h"

#include <unistd.h>

#include <cerrno>

#include <utility>

namespace scrivel {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_fd, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return m_fd; }
  bool IsOpen() const { return m_fd >= 0; }
  // Closes now and returns success, or the system's error (a failed close
  // of a written file can mean lost data).
  [[nodiscard]] std::error_code Close() {
    const int rc = m_fd >= 0 ? ::close(m_fd) : 0;
    m_fd = -1;
    return rc == 0 ? std::error_code{} : LastSystemError();
  }
  void Reset(int fd = -1) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd = -1;  // -1 = closed
};

}  // namespace scrivel
