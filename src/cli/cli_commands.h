// The command table of scrivel-cli. A command is a name, a one-line summary
// for --help and an entry point that receives its own argument vector
// (argv[0] is the command name).
#pragma once

#include <span>

namespace scrivel::cli {

struct Command {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);
};

// All commands, in the order --help lists them.
std::span<const Command> commands();

}  // namespace scrivel::cli
