#include "cli/cli_commands.h"

#include <array>

namespace scrivel::cli {

// Each command adds its entry here; its function lives in its own file.
std::span<const Command> commands() {
  static const std::array<Command, 0> kCommands = {};
  return kCommands;
}

}  // namespace scrivel::cli
