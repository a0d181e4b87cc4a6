// Runs the decryption tool as a child process: an argument vector (no shell,
// so folders with blanks need no quoting), a secret written to its standard
// input (never its command line), and its standard output and error read
// through one pipe. The driver in backup_decryption.cpp uses it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace scrivel {

class DecryptionToolProcess {
 public:
  enum class ReadStatus {
    kData,     // bytes were appended
    kTimeout,  // nothing arrived in time
    kEnd,      // the tool closed its output: it has ended or is about to
  };

  DecryptionToolProcess() = default;
  // Terminates and reaps a tool that is still running.
  ~DecryptionToolProcess();
  DecryptionToolProcess(const DecryptionToolProcess&) = delete;
  DecryptionToolProcess& operator=(const DecryptionToolProcess&) = delete;

  // Starts `program` with `arguments` (argv[1] onwards), writes `input` to its
  // standard input and closes it. Returns success, or kBadFile when the pipes
  // cannot be made, the program cannot be started or the input cannot be
  // written (the child is then terminated).
  [[nodiscard]] std::error_code Start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                                      std::string_view input);

  // Waits up to `timeout` for output and appends what arrived to `out`.
  ReadStatus Read(std::chrono::milliseconds timeout, std::string& out);

  // Waits for the tool to end and returns its exit code, or 128 + the signal
  // number when a signal ended it; -1 when no tool is running.
  int Wait();

  // Asks the tool to stop (SIGTERM), gives it a moment, then kills it
  // (SIGKILL) and reaps it. Nothing happens when no tool is running.
  void Terminate();

  bool running() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }  // for diagnostics; -1 when no tool runs

 private:
  void CloseOutput();

  pid_t m_pid = -1;     // the running child; -1 once reaped
  int m_outputFd = -1;  // read end of the child's standard output and error
};

}  // namespace scrivel
