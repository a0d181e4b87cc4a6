// scrivel-cli: the recovery engine without a window. Each command lives in
// its own file (cli_*.cpp) and registers itself in the command table
// (cli_commands.cpp); CLI11 parses the command line, so every command answers
// --help, unknown options and missing arguments the same way.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_commands.h"

namespace {

// Exit code for a command line that cannot be parsed.
constexpr int kExitUsage = 1;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Recovers messages, contacts, calls, notes, WhatsApp chats and files\n"
               "from iPhone backups without changing them.",
               "scrivel-cli");
  app.set_version_flag("--version", std::string("scrivel-cli ") + SCRIVEL_VERSION, "show the program's version");
  app.require_subcommand(1);
  app.footer("Run 'scrivel-cli COMMAND --help' for a command's options.");
  int exitCode = 0;
  for (const scrivel::cli::Command& command : scrivel::cli::commands()) {
    command.define(*app.add_subcommand(command.name, command.summary), exitCode);
  }
  // "scrivel-cli help" is the same as "scrivel-cli --help".
  if (argc == 2 && std::string_view(argv[1]) == "help") {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version);
  } catch (const CLI::ParseError& error) {
    // CLI11 calls a word that names no command a missing command; say which word it was.
    const bool unknownCommand = app.get_subcommands().empty() && argc >= 2 && argv[1][0] != '-';
    if (unknownCommand) std::fprintf(stderr, "scrivel-cli: unknown command '%s'\n\n", argv[1]);
    else if (argc >= 2) std::fprintf(stderr, "scrivel-cli: %s\n\n", error.what());
    // The usage of the most specific command named, "device list" within "device".
    std::fputs(app.help().c_str(), stderr);
    return kExitUsage;
  }
  return exitCode;
}
