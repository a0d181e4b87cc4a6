#include "core/backup/decryption_tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "core/common/result_codes.h"

extern char** environ;

namespace scrivel {
namespace {

constexpr auto kTerminateGrace = std::chrono::milliseconds(2000);  // time between SIGTERM and SIGKILL
constexpr auto kReapPoll = std::chrono::milliseconds(10);
constexpr std::size_t kReadChunkSize = 4096;

// Closes a descriptor pair on scope exit unless released.
struct FdPair {
  int fds[2] = {-1, -1};
  ~FdPair() {
    for (int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
  int Release(int index) {
    const int fd = fds[index];
    fds[index] = -1;
    return fd;
  }
};

// Sends all of `input` without raising SIGPIPE when the child has gone.
bool SendAll(int fd, std::string_view input) {
  std::size_t done = 0;
  while (done < input.size()) {
    const ssize_t n = ::send(fd, input.data() + done, input.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

DecryptionToolProcess::~DecryptionToolProcess() {
  Terminate();
  CloseOutput();
}

void DecryptionToolProcess::CloseOutput() {
  if (m_outputFd >= 0) ::close(m_outputFd);
  m_outputFd = -1;
}

std::error_code DecryptionToolProcess::Start(const std::filesystem::path& program,
                                             const std::vector<std::string>& arguments, std::string_view input) {
  if (running()) return kBadFile;
  // Standard input is a socket so that writing to a child that already ended
  // fails with an error instead of a SIGPIPE for the whole application.
  FdPair inputPair;
  FdPair outputPipe;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inputPair.fds) != 0) return kBadFile;
  if (::pipe2(outputPipe.fds, O_CLOEXEC) != 0) return kBadFile;

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return kBadFile;
  // dup2 onto 0, 1 and 2 clears close-on-exec there; every other descriptor of
  // this process stays closed in the child.
  posix_spawn_file_actions_adddup2(&actions, inputPair.fds[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputPipe.fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputPipe.fds[1], STDERR_FILENO);

  std::vector<std::string> argvStorage;
  argvStorage.push_back(program.string());
  argvStorage.insert(argvStorage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argvStorage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int spawnRc = posix_spawn(&pid, argvStorage[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawnRc != 0) return kBadFile;
  m_pid = pid;
  m_outputFd = outputPipe.Release(0);
  // The child's ends are closed here (FdPair), so end of output means the
  // child closed its copy.

  const bool sent = SendAll(inputPair.fds[0], input);
  ::shutdown(inputPair.fds[0], SHUT_WR);
  if (!sent) {
    Terminate();
    CloseOutput();
    return kBadFile;
  }
  return {};
}

DecryptionToolProcess::ReadStatus DecryptionToolProcess::Read(std::chrono::milliseconds timeout, std::string& out) {
  if (m_outputFd < 0) return ReadStatus::kEnd;
  pollfd entry{m_outputFd, POLLIN, 0};
  const int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
  if (ready == 0 || (ready < 0 && errno == EINTR)) return ReadStatus::kTimeout;
  if (ready < 0) {
    CloseOutput();
    return ReadStatus::kEnd;
  }
  char buffer[kReadChunkSize];
  const ssize_t n = ::read(m_outputFd, buffer, sizeof buffer);
  if (n < 0 && errno == EINTR) return ReadStatus::kTimeout;
  if (n <= 0) {
    CloseOutput();
    return ReadStatus::kEnd;
  }
  out.append(buffer, static_cast<std::size_t>(n));
  return ReadStatus::kData;
}

int DecryptionToolProcess::Wait() {
  if (!running()) return -1;
  int status = 0;
  pid_t reaped = -1;
  do {
    reaped = ::waitpid(m_pid, &status, 0);
  } while (reaped < 0 && errno == EINTR);
  m_pid = -1;
  return reaped < 0 ? -1 : ExitCodeOf(status);
}

void DecryptionToolProcess::Terminate() {
  if (!running()) return;
  ::kill(m_pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kTerminateGrace;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t reaped = ::waitpid(m_pid, &status, WNOHANG);
    if (reaped == m_pid || (reaped < 0 && errno != EINTR)) {
      m_pid = -1;
      return;
    }
    std::this_thread::sleep_for(kReapPoll);
  }
  ::kill(m_pid, SIGKILL);
  while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_pid = -1;
}

}  // namespace scrivel
