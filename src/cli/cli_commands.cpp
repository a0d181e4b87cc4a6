#include "cli/cli_commands.h"

#include <vector>

namespace scrivel::cli {

// Each command adds one line here; its function lives in its own file
// (cli_<name>.cpp) and is declared in cli_commands.h.
std::span<const Command> commands() {
  static const std::vector<Command> kCommands = {
  };
  return kCommands;
}

}  // namespace scrivel::cli
