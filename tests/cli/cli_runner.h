// Runs the built scrivel-cli as scripts and users do, for the command-line
// tests: with its own application-data folder and a given standard input.
#pragma once

#include <filesystem>
#include <string>

namespace scrivel::testing {

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output, and standard error when asked for
};

// Runs scrivel-cli with `arguments` (already quoted for the shell) and
// `input` on standard input; standard error is kept when `withErrors`,
// else dropped.
CommandResult RunCli(const std::string& arguments, const std::filesystem::path& appData, const std::string& input = "",
                     bool withErrors = false);

}  // namespace scrivel::testing
