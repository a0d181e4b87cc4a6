// The command-line conventions of the helper programs (the benchmarks, the
// fixture builders, the decryption tool): "--help" or "-h" prints the usage
// on standard output and the program ends with 0; an option it does not
// know, a missing or bad value, or an argument too many is named on
// standard error, followed by the usage, and the program ends with
// kExitBadArguments. Nothing that starts with "-" is ever taken as a
// folder name.
#pragma once

#include <string_view>

namespace scrivel {

inline constexpr int kExitBadArguments = 2;

// True for "--help" and "-h".
bool IsHelpOption(std::string_view argument);

// Prints `usage` on standard output. Returns 0, the exit code of --help.
int ShowUsage(std::string_view usage);

// Prints "PROGRAM: PROBLEM 'ARGUMENT'" (without the quoted part when
// `argument` is empty) and then `usage` on standard error. Returns
// kExitBadArguments.
int RefuseArgument(std::string_view program, std::string_view problem, std::string_view argument,
                   std::string_view usage);

// RefuseArgument for an argument the program has no place for: "unknown
// option" when it starts with "-", else "unexpected argument".
int RefuseUnexpected(std::string_view program, std::string_view argument, std::string_view usage);

}  // namespace scrivel
