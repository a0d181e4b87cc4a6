// Whole output lines on standard output, safe to call from several threads.
// Each line is written with one unbuffered write, so a reader on the other
// end of a pipe sees it as soon as it is complete.
#pragma once

#include <mutex>
#include <string_view>

namespace scrivel::decrypt_tool {

class ToolConsole {
 public:
  void Line(std::string_view text);

 private:
  std::mutex m_mutex;
};

}  // namespace scrivel::decrypt_tool
