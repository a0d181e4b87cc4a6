// Runs a piece of benchmark work in child processes and keeps the fastest
// run together with the peak memory of its process, so that every figure
// belongs to that work alone and not to what an earlier run left behind.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace scrivel::bench {

struct WorkResult {
  double seconds = -1;  // negative: the work failed
  double records = 0;   // what the work produced, where it counts anything
};

struct Measurement {
  WorkResult result;       // of the fastest run
  long peakKilobytes = 0;  // peak resident memory of that run's process
  bool ok = false;
};

// Runs `work` in a fresh child process `runs` times; the child hands its
// result back through a pipe and leaves without freeing what it loaded.
// Not ok when any run fails.
inline Measurement MeasureInChild(const std::function<WorkResult()>& work, int runs) {
  Measurement best;
  for (int run = 0; run < runs; ++run) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child < 0) return {};
    if (child == 0) {
      close(fds[0]);
      const WorkResult result = work();
      const bool written = write(fds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
      _exit(written && result.seconds >= 0 ? 0 : 1);
    }
    close(fds[1]);
    WorkResult result;
    const bool received = read(fds[0], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !received)
      return {};
    if (!best.ok || result.seconds < best.result.seconds) best = {result, usage.ru_maxrss, true};
  }
  return best;
}

}  // namespace scrivel::bench
