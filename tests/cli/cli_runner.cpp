#include "cli_runner.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace scrivel::testing {

CommandResult RunCli(const std::string& arguments, const std::filesystem::path& appData, const std::string& input,
                     bool withErrors) {
  const std::string command = "printf '%s' '" + input + "' | XDG_DATA_HOME='" + appData.string() + "' '" +
                              SCRIVEL_TEST_BIN_DIR + "/scrivel-cli' " + arguments +
                              (withErrors ? " 2>&1" : " 2>/dev/null");
  CommandResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), got);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace scrivel::testing
