// scrivel-cli: the recovery engine without a window. Each command lives in
// its own file (cli_*.cpp) and registers itself in the command table below.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli/cli_commands.h"

namespace {

void printUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: scrivel-cli COMMAND [OPTIONS]\n"
               "Recovers messages, contacts, calls, notes, WhatsApp chats and files\n"
               "from iPhone backups without changing them.\n\n"
               "Commands:\n");
  for (const scrivel::cli::Command& command : scrivel::cli::commands())
    std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
  std::fprintf(out,
               "\nOptions:\n"
               "  --help     show this text\n"
               "  --version  show the program's version\n"
               "\nRun 'scrivel-cli COMMAND --help' for a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printUsage(stderr);
    return 1;
  }
  const std::string_view first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    printUsage(stdout);
    return 0;
  }
  if (first == "--version") {
    std::printf("scrivel-cli %s\n", SCRIVEL_VERSION);
    return 0;
  }
  for (const scrivel::cli::Command& command : scrivel::cli::commands()) {
    if (first == command.name) return command.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "scrivel-cli: unknown command '%s'\n\n", argv[1]);
  printUsage(stderr);
  return 1;
}
