#include "tools/decrypt/tool_console.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace scrivel::decrypt_tool {

void ToolConsole::Line(std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  std::lock_guard lock(m_mutex);
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the reader went away; nothing more to tell it
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace scrivel::decrypt_tool
