// Every helper program (benchmarks, fixture builders, the decryption tool)
// answers --help with its usage and refuses an option it does not know,
// instead of taking it for a folder name and starting work there.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace scrivel {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode = -1;
  std::string output;  // standard output
  std::string errors;  // standard error
};

std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

// Runs `program` with `argument` inside `folder`, standard input empty.
Outcome RunIn(const fs::path& folder, const fs::path& program, const std::string& argument) {
  const std::string command = "cd '" + folder.string() + "' && '" + program.string() + "' " + argument +
                              " < /dev/null > out.txt 2> err.txt";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(folder / "out.txt"), Read(folder / "err.txt")};
}

TEST(HelperProgramsTest, AnswerHelpAndRefuseUnknownOptions) {
  const fs::path bin = SCRIVEL_TEST_BIN_DIR;
  const fs::path folder = fs::temp_directory_path() / ("scrivel-helpers-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  int checked = 0;
  for (const char* name : {"bench_assembly", "bench_decrypt", "bench_export", "bench_manifest", "bench_scan",
                           "bench_sqlite_scan", "make-sample-backup", "encrypt-backup", "tool", "bench_device_backup"}) {
    SCOPED_TRACE(name);
    const fs::path program = bin / name;
    if (!fs::exists(program)) continue;
    ++checked;
    const Outcome help = RunIn(folder, program, "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind("usage: ", 0), 0u) << help.output;

    const Outcome unknown = RunIn(folder, program, "--no-such-option");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.errors.rfind(std::string(name) + ": unknown option", 0), 0u) << unknown.errors;
    EXPECT_NE(unknown.errors.find("usage: "), std::string::npos) << unknown.errors;
    EXPECT_TRUE(unknown.output.empty()) << unknown.output;
    // Nothing was started: the folder holds only the captured output.
    std::size_t entries = 0;
    for ([[maybe_unused]] const fs::directory_entry& entry : fs::directory_iterator(folder)) ++entries;
    EXPECT_EQ(entries, 2u);
  }
  EXPECT_GT(checked, 0);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace scrivel
