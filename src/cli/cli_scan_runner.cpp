#include "cli/cli_scan_runner.h"

#include <openssl/crypto.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/terminal_text.h"
#include "core/backup/backup_locations.h"
#include "core/backup/info_plist.h"
#include "core/common/result_codes.h"
#include "core/recovery/scan_sequence.h"

namespace scrivel::cli {
namespace {

std::atomic<bool> g_cancelRequested{false};

// Ctrl-C, a polite kill and a closed terminal all cancel: the scan stops at
// its next progress report and the decrypted copies are deleted on the way
// out, as for any cancel.
extern "C" void onStopSignal(int) { g_cancelRequested.store(true); }

void catchStopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

// Reads one line of standard input without showing it when it is a terminal.
std::string readPassword(bool prompt) {
  termios saved{};
  const bool hide = prompt && ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (hide) {
    std::fprintf(stderr, "Backup password: ");
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string password;
  std::getline(std::cin, password);
  if (hide) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fprintf(stderr, "\n");
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

// Draws "[#####.....]  42%  Messages  0:05" on standard error, over itself.
class ProgressBar : public ScanObserver {
 public:
  explicit ProgressBar(bool enabled) : m_enabled(enabled), m_start(std::chrono::steady_clock::now()) {}

  static std::error_code OnProgress(void* userData, int percent) {
    auto* bar = static_cast<ProgressBar*>(userData);
    if (percent > bar->m_percent) {
      bar->m_percent = percent > 99 ? 99 : percent;
      bar->draw();
    }
    return g_cancelRequested.load() ? make_error_code(kCancelled) : std::error_code{};
  }

  void OnScanStarting(std::string_view operation) override {
    m_operation = operation;
    draw();
  }

  void Finish() {
    if (!m_enabled) return;
    m_percent = 100;
    m_operation = "Done";
    draw();
    std::fprintf(stderr, "\n");
  }

 private:
  void draw() {
    if (!m_enabled) return;
    constexpr int kWidth = 30;
    const int filled = m_percent * kWidth / 100;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_start).count();
    std::fprintf(stderr, "\r[%.*s%.*s] %3d%%  %-22.22s %lld:%02lld ", filled, "##############################",
                 kWidth - filled, "..............................", m_percent, std::string(m_operation).c_str(),
                 static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    std::fflush(stderr);
  }

  bool m_enabled;
  std::chrono::steady_clock::time_point m_start;
  int m_percent = 0;             // highest percent shown, at most 99 until Finish
  std::string_view m_operation;  // the scan that runs now
};

}  // namespace

bool CancelRequested() { return g_cancelRequested.load(); }

int RunCliScan(const char* command, const ScanRunOptions& options, ScanRun& run) {
  BackupInfo info;
  std::string problem;
  if (ReadBackupInfo(options.sourceFolder, info, &problem)) {
    std::fprintf(stderr, "%s: '%s' is not a backup folder (%s)\n", command, options.sourceFolder.c_str(),
                 TerminalText(problem).c_str());
    return kExitOpenFailed;
  }
  std::string password;
  if (options.passwordFromStdin) {
    password = readPassword(false);
  } else if (info.encrypted) {
    if (!::isatty(STDIN_FILENO)) {
      std::fprintf(stderr, "%s: this backup is encrypted; give its password on standard input with --password-stdin\n",
                   command);
      return kExitWrongPassword;
    }
    password = readPassword(true);
  }

  const std::filesystem::path appData = DefaultAppDataFolder();
  if (appData.empty()) {
    std::fprintf(stderr, "%s: no application-data folder (set HOME or XDG_DATA_HOME)\n", command);
    return kExitOpenFailed;
  }
  run.engine = std::make_unique<BackupEngine>(appData, BackupsRootIn(appData));
  // A run that was killed (SIGKILL, a crash, a power cut) leaves decrypted
  // copies behind; they go now, and the person is told.
  if (const std::size_t removed = RemoveEarlierRunLeftovers(*run.engine); removed > 0) {
    std::fprintf(stderr, "%s: deleted %zu decrypted or temporary files that an earlier run left behind when it was stopped\n",
                 command, removed);
  }
  run.engine->SelectBackup(info);
  run.source = CreateRecoverySource(kSourceKindLocalBackup, run.engine.get());

  ProgressBar bar(options.showProgress && ::isatty(STDERR_FILENO));
  run.source->SetProgressCallback(ProgressBar::OnProgress, &bar);
  catchStopSignals();

  run.result = RunScanSequence(*run.source, password, run.results, bar);
  OPENSSL_cleanse(password.data(), password.size());
  bar.Finish();

  if (!run.result) return kExitOk;
  if (run.result == kCancelled) {
    std::fprintf(stderr, "%s: cancelled\n", command);
    return kExitCancelled;
  }
  if (run.result == kWrongPassword) {
    std::fprintf(stderr, "%s: wrong password: it does not open this encrypted backup\n", command);
    return kExitWrongPassword;
  }
  std::fprintf(stderr, "%s: the backup could not be opened (%s): its manifest is missing, damaged or could not be decrypted\n",
               command, run.result.message().c_str());
  return kExitOpenFailed;
}

}  // namespace scrivel::cli
