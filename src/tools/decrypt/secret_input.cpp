#include "tools/decrypt/secret_input.h"

#include <unistd.h>

#include <cerrno>

namespace scrivel::decrypt_tool {

bool ReadSecretLine(int fd, crypto::SecretBytes& secret) {
  crypto::SecretBytes buffer(kMaxSecretLineSize + 1);
  std::size_t length = 0;
  bool lineEnded = false;
  while (!lineEnded && length < buffer.size()) {
    const ssize_t n = ::read(fd, buffer.data() + length, buffer.size() - length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer.data()[length] == '\n') {
        lineEnded = true;
        break;
      }
      ++length;
    }
  }
  if (length > kMaxSecretLineSize) return false;
  if (length > 0 && buffer.data()[length - 1] == '\r') --length;
  secret.Assign(buffer.view().first(length));
  return true;
}

}  // namespace scrivel::decrypt_tool
