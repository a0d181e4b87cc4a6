// Decryption speed: the tool over the large encrypted sample backup against
// `openssl enc -d -aes-256-cbc` over one file of the same total size, and one
// 10,000,000-round PBKDF2-HMAC-SHA256 derivation against `openssl kdf`.
//
//   bench_decrypt [--scale small|large|N] [PLAIN_BACKUP_DIR]
//
// Without a folder the sample backup of that scale (default large) is built
// first, which takes a while. Everything is written under a temporary folder
// that is removed. The decryption runs twice: with its output on the disk
// (the temporary folder's file system), and, where /dev/shm exists, in
// memory, which shows the decryption without the cost of creating files.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/backup/decryption_tool_process.h"
#include "core/common/program_arguments.h"
#include "core/crypto/hex.h"
#include "core/crypto/key_derivation.h"
#include "fixtures/backup_encryptor.h"
#include "fixtures/sample_backup.h"
#include "support/backup_files.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kDerivationRounds = 10'000'000;
constexpr const char* kPassword = "bench password";
constexpr int kRuns = 3;  // runs of ours and of openssl, in turns, for each figure; the fastest counts
constexpr const char* kReferenceKey = "4444444444444444444444444444444444444444444444444444444444444444";
constexpr const char* kReferenceIv = "00000000000000000000000000000000";
constexpr const char* kSaltHex = "425b4bb4e200b5fd4c66979c9caca31716052063";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The bytes the tool decrypts: the stored files and Manifest.db. The
// property lists at the top are read, not decrypted, and the sample's
// ground-truth file is no part of a backup; neither is counted, so that
// openssl gets exactly as many bytes to decrypt as the tool.
scrivel::bench::BackupSize MeasureDecryptedFiles(const fs::path& encrypted) {
  scrivel::bench::BackupSize size;
  for (const auto& entry : fs::recursive_directory_iterator(encrypted)) {
    const bool topLevelPlist = entry.path().parent_path() == encrypted && entry.path().extension() == ".plist";
    if (!entry.is_regular_file() || topLevelPlist || scrivel::bench::IsGroundTruthFile(entry.path())) continue;
    size.bytes += entry.file_size();
    ++size.files;
  }
  return size;
}

// Processor time (user + system) of the child processes waited for so far,
// their own children included.
double ChildrenProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall time, and processor time over all threads; on a machine whose cores
// are busy with other work the processor time shows what a run costs.
struct Timing {
  double wall = -1;  // seconds; negative: the run failed
  double processor = 0;
};

// Runs a shell command and times it.
Timing TimeCommand(const std::string& command) {
  const double processorBefore = ChildrenProcessorSeconds();
  const auto start = Clock::now();
  const int rc = std::system(command.c_str());
  const Timing timing{SecondsSince(start), ChildrenProcessorSeconds() - processorBefore};
  if (rc != 0) {
    std::fprintf(stderr, "command failed (%d): %s\n", rc, command.c_str());
    return {};
  }
  return timing;
}

// The peak resident memory of process `pid` in MB (VmHWM), or 0 once it is gone.
double PeakMemoryMegabytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;  // the value is in kB
  }
  return 0;
}

struct ToolTiming {
  Timing time;
  double peakMegabytes = 0;
};

// Runs the tool over `backup` into `output`: wall time, and its peak memory
// sampled from /proc while it runs (the children's rusage would count the
// memory of this process, which the tool's start shares for a moment).
ToolTiming TimeTool(const fs::path& backup, const fs::path& output) {
  ToolTiming timing;
  scrivel::DecryptionToolProcess tool;
  const fs::path toolPath = fs::canonical("/proc/self/exe").parent_path() / "tool";
  const double processorBefore = ChildrenProcessorSeconds();
  const auto start = Clock::now();
  if (tool.Start(toolPath, {backup.string(), output.string()}, std::string(kPassword) + "\n")) return timing;
  std::string lines;
  while (tool.Read(std::chrono::milliseconds(20), lines) != scrivel::DecryptionToolProcess::ReadStatus::kEnd) {
    lines.clear();
    timing.peakMegabytes = std::max(timing.peakMegabytes, PeakMemoryMegabytes(tool.pid()));
  }
  timing.peakMegabytes = std::max(timing.peakMegabytes, PeakMemoryMegabytes(tool.pid()));
  const int exitCode = tool.Wait();
  timing.time = {SecondsSince(start), ChildrenProcessorSeconds() - processorBefore};
  if (exitCode != 0) std::fprintf(stderr, "tool exited with %d\n", exitCode);
  return timing;
}

// The fastest of the runs of the tool and of openssl enc.
struct DecryptionFigures {
  ToolTiming tool;
  Timing openssl;
};

// Decrypts `encrypted` with the tool and `single` with openssl enc into
// folders under `outputRoot`, in turns, kRuns times each; every run writes
// into a folder of its own. Nothing is deleted before the end: on a file
// system without a journal the kernel avoids reusing inodes freed in the
// last minutes, which makes creating files right after many deletions
// several times slower. Before each run what earlier runs wrote goes to the
// disk, so that no run pays for another's writing, and the turns expose
// both to the same moments of a shared machine.
DecryptionFigures MeasureDecryption(const fs::path& encrypted, const fs::path& single, const fs::path& outputRoot) {
  DecryptionFigures best;
  for (int run = 0; run < kRuns; ++run) {
    sync();
    const ToolTiming timing = TimeTool(encrypted, outputRoot / ("output-" + std::to_string(run)));
    if (timing.time.wall >= 0 && (best.tool.time.wall < 0 || timing.time.wall < best.tool.time.wall)) best.tool = timing;
    sync();
    const Timing openssl = TimeCommand("openssl enc -d -aes-256-cbc -K " + std::string(kReferenceKey) + " -iv " +
                                       kReferenceIv + " -in '" + single.string() + "' -out '" +
                                       (outputRoot / ("single-" + std::to_string(run) + ".out")).string() + "'");
    if (openssl.wall >= 0 && (best.openssl.wall < 0 || openssl.wall < best.openssl.wall)) best.openssl = openssl;
  }
  return best;
}

void Report(const DecryptionFigures& figures, const char* where, double megabytes) {
  std::printf(" %s:\n", where);
  const Timing& tool = figures.tool.time;
  const Timing& openssl = figures.openssl;
  if (tool.wall < 0 || openssl.wall < 0) {
    std::printf("  (a run failed)\n");
    return;
  }
  std::printf("  tool:        %.3f s  %.1f MB/s  processor %.3f s (%.1f cores)  peak memory %.1f MB\n", tool.wall,
              megabytes / tool.wall, tool.processor, tool.processor / tool.wall, figures.tool.peakMegabytes);
  std::printf("  openssl enc: %.3f s  %.1f MB/s  processor %.3f s (%.1f cores, one stream)\n", openssl.wall,
              megabytes / openssl.wall, openssl.processor, openssl.processor / openssl.wall);
  std::printf("  ratio tool/openssl throughput: %.2f (target >= 1.00)\n", openssl.wall / tool.wall);
  // Both figures are the fastest of their runs, measured in turns. When
  // other work keeps the cores busy the tool cannot use both, so the
  // processor times say what the wall times would be on idle cores.
  std::printf("  processor time tool/openssl: %.2f (the tool's threads share it out over the cores)\n",
              tool.processor / openssl.processor);
}

constexpr const char* kProgram = "bench_decrypt";
constexpr const char* kUsage =
    "usage: bench_decrypt [--scale small|large|N] [PLAIN_BACKUP_DIR]\n"
    "  --scale           size of the sample backup built for the run (default large)\n"
    "  PLAIN_BACKUP_DIR  encrypt this plain backup instead of building one\n";

}  // namespace

int main(int argc, char** argv) {
  scrivel::fixtures::SampleBackupOptions sample;
  sample.counts = scrivel::fixtures::LargeSampleCounts();
  fs::path plain;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (scrivel::IsHelpOption(argument)) return scrivel::ShowUsage(kUsage);
    if (argument == "--scale") {
      if (i + 1 >= argc) return scrivel::RefuseArgument(kProgram, "a value is missing after", argument, kUsage);
      if (!scrivel::fixtures::ParseSampleScale(argv[++i], &sample.counts))
        return scrivel::RefuseArgument(kProgram, "not a scale", argv[i], kUsage);
    } else if (!plain.empty() || argument.starts_with("-")) {
      return scrivel::RefuseUnexpected(kProgram, argument, kUsage);
    } else {
      plain = argument;
    }
  }
  const fs::path work = fs::temp_directory_path() / ("scrivel-bench-decrypt-" + std::to_string(::getpid()));
  fs::create_directories(work);
  if (plain.empty()) {
    plain = work / "plain";
    std::printf("building the sample backup...\n");
    if (scrivel::fixtures::BuildSampleBackup(plain, sample, nullptr)) {
      std::fprintf(stderr, "cannot build the sample backup\n");
      return 1;
    }
  }
  scrivel::fixtures::BackupEncryptionOptions options;
  options.password = kPassword;
  const fs::path encrypted = work / "encrypted";
  if (scrivel::fixtures::EncryptBackup(plain, encrypted, options)) {
    std::fprintf(stderr, "cannot encrypt the sample backup\n");
    return 1;
  }
  const scrivel::bench::BackupSize encryptedSize = MeasureDecryptedFiles(encrypted);
  const std::uint64_t totalBytes = encryptedSize.bytes;
  const double megabytes = static_cast<double>(totalBytes) / (1 << 20);

  // The reference input: one stream of the same size for openssl enc.
  const fs::path single = work / "single.bin";
  const std::uint64_t plainBytes = totalBytes - totalBytes % 16 - 16;  // encrypts to totalBytes
  if (TimeCommand("head -c " + std::to_string(plainBytes) + " /dev/urandom | openssl enc -aes-256-cbc -K " +
                  kReferenceKey + " -iv " + kReferenceIv + " -out '" + single.string() + "'").wall < 0) {
    fs::remove_all(work);
    return 1;
  }
  std::printf("decryption: %.1f MB in %llu files\n", megabytes, static_cast<unsigned long long>(encryptedSize.files));
  const DecryptionFigures onDisk = MeasureDecryption(encrypted, single, work);
  Report(onDisk, "written to the disk", megabytes);
  // The same with the output in memory: the decryption without the file
  // system's cost of creating thousands of files.
  const fs::path memory = fs::path("/dev/shm") / ("scrivel-bench-decrypt-" + std::to_string(::getpid()));
  std::error_code memoryError;
  if (fs::create_directories(memory, memoryError)) {
    const DecryptionFigures inMemory = MeasureDecryption(encrypted, single, memory);
    Report(inMemory, "written to a memory file system (/dev/shm)", megabytes);
    fs::remove_all(memory, memoryError);
  }

  // Key derivation: 10,000,000 rounds of PBKDF2-HMAC-SHA256, ours and
  // openssl kdf in turns, the fastest of each counting.
  std::vector<std::uint8_t> salt(20);
  scrivel::crypto::ParseHex(kSaltHex, salt);
  const std::string password = "hashcat";
  const std::string opensslKdf =
      std::string("openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:hashcat -kdfopt hexsalt:") + kSaltHex +
      " -kdfopt iter:" + std::to_string(kDerivationRounds) + " PBKDF2 > /dev/null";
  bool derivationFailed = false;
  double deriveSeconds = -1;
  double opensslKdfSeconds = -1;
  for (int run = 0; run < kRuns; ++run) {
    scrivel::crypto::SecretBytes derived;
    const auto start = Clock::now();
    derivationFailed |= !!scrivel::crypto::RunPbkdf2(
        scrivel::crypto::PbkdfDigest::kSha256,
        {reinterpret_cast<const std::uint8_t*>(password.data()), password.size()}, salt, kDerivationRounds, derived);
    const double ours = SecondsSince(start);
    if (deriveSeconds < 0 || ours < deriveSeconds) deriveSeconds = ours;
    const double theirs = TimeCommand(opensslKdf).wall;
    if (theirs >= 0 && (opensslKdfSeconds < 0 || theirs < opensslKdfSeconds)) opensslKdfSeconds = theirs;
  }
  std::printf("key derivation (PBKDF2-HMAC-SHA256, %u rounds):\n", kDerivationRounds);
  std::printf("  ours:        %.3f s%s\n", deriveSeconds, derivationFailed ? " (failed)" : "");
  std::printf("  openssl kdf: %.3f s\n", opensslKdfSeconds);
  std::printf("  ratio ours/openssl time: %.2f (target <= 1.10)\n", deriveSeconds / opensslKdfSeconds);

  fs::remove_all(work);
  return 0;
}
