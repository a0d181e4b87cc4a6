#include "core/common/program_arguments.h"

#include <cstdio>

namespace scrivel {

namespace {

void Print(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

}  // namespace

bool IsHelpOption(std::string_view argument) { return argument == "--help" || argument == "-h"; }

int ShowUsage(std::string_view usage) {
  Print(stdout, usage);
  return 0;
}

int RefuseArgument(std::string_view program, std::string_view problem, std::string_view argument,
                   std::string_view usage) {
  std::fprintf(stderr, "%.*s: %.*s", static_cast<int>(program.size()), program.data(), static_cast<int>(problem.size()),
               problem.data());
  if (!argument.empty()) std::fprintf(stderr, " '%.*s'", static_cast<int>(argument.size()), argument.data());
  std::fprintf(stderr, "\n");
  Print(stderr, usage);
  return kExitBadArguments;
}

int RefuseUnexpected(std::string_view program, std::string_view argument, std::string_view usage) {
  return RefuseArgument(program, argument.starts_with("-") ? "unknown option" : "unexpected argument", argument,
                        usage);
}

}  // namespace scrivel
