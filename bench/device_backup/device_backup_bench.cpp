// bench_device_backup: the device backup session's throughput. The simulated
// phone (tests/fixtures/simulated_phone) uploads a generated sample backup
// over loopback through the real libimobiledevice, and the same files are
// copied locally with "cp -r" as the reference. A real USB link carries
// 30-40 MB/s, so the session must move data well above that to never be the
// bottleneck. The transfer phase is timed by itself (from the device's
// first message to its last, through the progress callback); the session's
// fixed costs before it (connection, services, sync lock) and after it
// (closing the clients) are shown apart. Loopback makes the simulated phone
// (a Python script) and the disk part of the measured time, so the
// session's own capacity is also given: the bytes moved per second of the
// processor time this process spent in the transfer (its threads' user and
// system time, the writing of the files included).
//
// Usage: bench_device_backup [MESSAGES] (default 50000)

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/program_arguments.h"
#include "core/device/device_backup.h"
#include "fixtures/sample_backup.h"
#include "fixtures/simulated_phone/simulated_phone_process.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "bench_device_backup";
constexpr const char* kUsage =
    "usage: bench_device_backup [MESSAGES]\n"
    "  MESSAGES  messages of the generated sample backup (default 50000; the other\n"
    "            kinds in the proportions of the large sample)\n";
constexpr double kUsbLinkMegabytesPerSecond = 40.0;  // the fast end of a real USB link

std::uint64_t bytesBelow(const fs::path& folder) {
  std::uint64_t total = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) total += entry.file_size();
  }
  return total;
}

bool buildSample(const fs::path& folder, const scrivel::fixtures::SampleBackupOptions& options) {
  if (scrivel::fixtures::BuildSampleBackup(folder, options, nullptr)) return false;
  fs::remove(folder / scrivel::fixtures::kGroundTruthFileName);
  return true;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct BackupTimes {
  double whole = -1;     // seconds of the whole BackUpDevice call; negative when it failed
  double opening = 0;    // seconds until the device's first message was served
  double transfer = 0;   // seconds from the first message served to the last
  double transferCpu = 0;  // processor seconds of this process in the transfer
};

double processCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Times one backup of `sample` from the simulated phone into `root`.
BackupTimes timeBackup(const fs::path& sample, const fs::path& root) {
  BackupTimes times;
  scrivel::testing::SimulatedDevice device;
  device.udid = "00008110-0000BE0C0000BE0C";
  device.name = "Bench iPhone";
  scrivel::testing::SimulatedBackup backup;
  backup.folder = sample.string();
  const scrivel::testing::SimulatedPhoneProcess phone({device}, backup);
  if (!phone.Running()) {
    std::fprintf(stderr, "%s: the simulated phone did not start\n", kProgram);
    return times;
  }
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> firstMessage;
  Clock::time_point lastMessage;
  double firstCpu = 0;
  double lastCpu = 0;
  scrivel::device::BackupRequest request;
  request.root = root;
  request.progress = [&](int) {
    lastMessage = Clock::now();
    lastCpu = processCpuSeconds();
    if (!firstMessage) {
      firstMessage = lastMessage;
      firstCpu = lastCpu;
    }
    return std::error_code();
  };
  scrivel::device::BackupOutcome outcome;
  const auto start = Clock::now();
  if (const std::error_code result = scrivel::device::BackUpDevice(request, outcome); result) {
    std::fprintf(stderr, "%s: the backup failed: %s\n", kProgram, result.message().c_str());
    return times;
  }
  times.whole = secondsSince(start);
  if (firstMessage) {
    times.opening = std::chrono::duration<double>(*firstMessage - start).count();
    times.transfer = std::chrono::duration<double>(lastMessage - *firstMessage).count();
    times.transferCpu = lastCpu - firstCpu;
  }
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t messages = 50000;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (scrivel::IsHelpOption(argument)) return scrivel::ShowUsage(kUsage);
    if (i > 1 || argument.starts_with("-")) return scrivel::RefuseUnexpected(kProgram, argument, kUsage);
    char* end = nullptr;
    const unsigned long value = std::strtoul(argv[i], &end, 10);
    if (*end != '\0' || value == 0 || value > 10'000'000) {
      return scrivel::RefuseArgument(kProgram, "not a number of messages", argument, kUsage);
    }
    messages = static_cast<std::uint32_t>(value);
  }
  const fs::path folder = fs::temp_directory_path() / ("scrivel-bench-device-" + std::to_string(getpid()));
  std::printf("Building a sample backup (%u messages) in %s ...\n", messages, folder.c_str());
  scrivel::fixtures::SampleBackupOptions options;
  options.counts = scrivel::fixtures::SampleCountsForMessages(messages);
  if (!buildSample(folder / "sample", options)) {
    fs::remove_all(folder);
    return 1;
  }
  const double megabytes = static_cast<double>(bytesBelow(folder / "sample")) / 1e6;

  // Each measurement starts with nothing waiting to be written back, so
  // neither pays for the writes of what ran before it.
  ::sync();
  // Reference: the same files copied on this disk.
  const auto start = std::chrono::steady_clock::now();
  const std::string copy = "cp -r '" + (folder / "sample").string() + "' '" + (folder / "copy").string() + "'";
  if (std::system(copy.c_str()) != 0) {
    std::fprintf(stderr, "%s: cp -r failed\n", kProgram);
    fs::remove_all(folder);
    return 1;
  }
  const double copySeconds = secondsSince(start);

  ::sync();
  const BackupTimes backup = timeBackup(folder / "sample", folder / "device");
  fs::remove_all(folder);
  if (backup.whole < 0) return 1;
  const double transferSeconds = std::max(backup.transfer, 1e-6);
  const double closing = backup.whole - backup.opening - backup.transfer;

  const double sessionRate = megabytes / transferSeconds;
  const double capacity = megabytes / std::max(backup.transferCpu, 1e-6);
  const double copyRate = megabytes / copySeconds;
  std::printf("%-40s %8.1f MB\n", "sample backup", megabytes);
  std::printf("%-40s %8.2f s\n", "device backup session, whole", backup.whole);
  std::printf("%-40s %8.2f s\n", "  opening (services, sync lock)", backup.opening);
  std::printf("%-40s %8.2f s  %8.1f MB/s\n", "  transfer (loopback)", backup.transfer, sessionRate);
  std::printf("%-40s %8.2f s\n", "  closing (lock release, clients)", closing);
  std::printf("%-40s %8.2f s  %8.1f MB/s\n", "session processor time in the transfer", backup.transferCpu, capacity);
  std::printf("%-40s %8.2f s  %8.1f MB/s\n", "cp -r of the same files (reference)", copySeconds, copyRate);
  std::printf("%-40s %8.2f\n", "transfer / cp -r throughput", sessionRate / copyRate);
  // The session is not the bottleneck when its own capacity is above what a
  // USB link carries.
  const bool fastEnough = capacity >= kUsbLinkMegabytesPerSecond;
  std::printf("%-40s %8.1f x a %.0f MB/s USB link: %s\n", "session capacity", capacity / kUsbLinkMegabytesPerSecond,
              kUsbLinkMegabytesPerSecond,
              fastEnough ? "the session is not the bottleneck" : "THE SESSION IS THE BOTTLENECK");
  return 0;
}
