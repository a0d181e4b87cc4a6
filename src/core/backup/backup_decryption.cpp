#include "core/backup/backup_decryption.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "core/backup/decryption_output.h"
#include "core/backup/decryption_tool_process.h"
#include "core/backup/decryption_tool_protocol.h"
#include "core/common/private_folder.h"
#include "core/common/result_codes.h"
#include "core/crypto/secret_bytes.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

constexpr auto kReadTimeout = std::chrono::milliseconds(250);  // also the interval of the silent-time reports

// Removes the plain files in `folder` (the tool writes no sub-folders).
void RemovePlainFiles(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (it->is_regular_file(ignored) || it->is_symlink(ignored)) fs::remove(it->path(), ignored);
  }
}

// Follows one run of the tool: progress from its lines, the wrong-password
// answer, the printed key, and the caller's cancel.
class ToolRun {
 public:
  ToolRun(const DecryptionSetup& setup, ScanProgress& progress) : m_setup(setup), m_progress(progress) {
    m_lastReported = progress.progress;
  }
  ~ToolRun() { crypto::WipeString(m_printedKey); }

  // Reads the tool's output until it ends or the run must stop. Returns success,
  // kWrongPassword, or the cancel's value (the tool is then terminated).
  std::error_code Follow(DecryptionToolProcess& tool) {
    DecryptionOutputReader reader;
    const DecryptionOutputReader::LineHandler onLine = [this](std::string_view line) { HandleLine(line); };
    std::string chunk;
    for (;;) {
      if (m_setup.stopRequested != nullptr && m_setup.stopRequested->load()) m_stopResult = kCancelled;
      if (m_stopResult) break;
      chunk.clear();
      const auto status = tool.Read(kReadTimeout, chunk);
      if (status == DecryptionToolProcess::ReadStatus::kEnd) {
        reader.Finish(onLine);
        break;
      }
      if (status == DecryptionToolProcess::ReadStatus::kData) {
        reader.Feed(chunk, onLine);
      } else {
        (void)Report(m_lastReported);  // silence: give the caller a chance to cancel; a stop is kept
      }
    }
    crypto::WipeString(chunk);
    if (m_stopResult && m_stopResult != kWrongPassword) tool.Terminate();
    return m_stopResult;
  }

  std::string& printedKey() { return m_printedKey; }

 private:
  void HandleLine(std::string_view line) {
    if (m_stopResult) return;
    const ToolLine parsed = ClassifyToolLine(line);
    switch (parsed.kind) {
      case ToolLine::Kind::kWrongPassword:
        m_stopResult = kWrongPassword;
        break;
      case ToolLine::Kind::kCount:
        HandleCount(parsed.count);
        break;
      case ToolLine::Kind::kKey:
        m_printedKey.assign(parsed.key);
        break;
      case ToolLine::Kind::kOther:
        break;
    }
  }

  void HandleCount(std::uint64_t filesDone) {
    if (m_progress.progress == 0) {
      m_progress.progress = 1;
      if (!Report(m_progress.progress)) return;
    }
    const std::uint64_t total = m_setup.storedFileCount;
    const std::uint64_t done = std::min(filesDone, total);
    const std::uint64_t share = total == 0 ? 0 : done * static_cast<std::uint64_t>(m_progress.step) / total;
    (void)Report(m_progress.progress + static_cast<int>(share));  // a stop is kept in m_stopResult
  }

  // Reports `percent`; false (and the answer kept as the result) when the
  // caller asks to stop.
  [[nodiscard]] bool Report(int percent) {
    m_lastReported = percent;
    const std::error_code answer = m_progress.Report(percent);
    if (answer) m_stopResult = answer;
    return !answer;
  }

  const DecryptionSetup& m_setup;
  ScanProgress& m_progress;
  int m_lastReported = 0;        // the percent reported last
  std::error_code m_stopResult;  // set once the run must stop
  std::string m_printedKey;      // the "Key:" value, when the tool printed one
};

// Runs the tool once, with the password or (when `cachedKey` is not empty)
// the derived key on its standard input.
std::error_code RunTool(const DecryptionSetup& setup, const fs::path& backupFolder, const fs::path& outputFolder,
                        const std::string& password, const std::string& cachedKey, ScanProgress& progress) {
  std::vector<std::string> arguments;
  if (setup.keyCache != nullptr) arguments.emplace_back(kToolOptionPrintKey);
  if (!cachedKey.empty()) arguments.emplace_back(kToolOptionKeyStdin);
  arguments.push_back(backupFolder.string());
  arguments.push_back(outputFolder.string());
  std::string input = (cachedKey.empty() ? password : cachedKey) + "\n";

  DecryptionToolProcess tool;
  const std::error_code startRc = tool.Start(setup.toolPath, arguments, input);
  crypto::WipeString(input);
  if (startRc) return kBadFile;

  ToolRun run(setup, progress);
  std::error_code rc = run.Follow(tool);
  const int exitCode = tool.Wait();  // -1 when Follow already reaped a cancelled tool
  if (!rc) {
    if (exitCode == kToolExitWrongPassword) {
      rc = kWrongPassword;
    } else if (exitCode != kToolExitOk && exitCode != kToolExitSomeFilesFailed) {
      rc = kBadFile;
    }
  }
  if (!rc && setup.keyCache != nullptr && !run.printedKey().empty()) {
    setup.keyCache->Remember(backupFolder, password, run.printedKey());
  }
  return rc;
}

}  // namespace

std::error_code DecryptBackup(const DecryptionSetup& setup, const fs::path& backupFolder, const std::string& password,
                              ScanProgress& progress, fs::path& outputFolder) {
  outputFolder.clear();
  if (setup.temporaryRoot.empty()) return kBadFile;  // nowhere to write the plain copy
  outputFolder = setup.temporaryRoot / kDecryptionOutputFolderName;
  if (CreatePrivateFolder(outputFolder)) return kBadFile;
  RemovePlainFiles(outputFolder);

  std::string cachedKey;
  if (setup.keyCache != nullptr) cachedKey = setup.keyCache->Find(backupFolder, password).value_or("");
  std::error_code rc = RunTool(setup, backupFolder, outputFolder, password, cachedKey, progress);
  if (rc == kWrongPassword && !cachedKey.empty()) {
    // The backup was written again with new keys since the key was kept.
    setup.keyCache->Forget();
    RemovePlainFiles(outputFolder);
    rc = RunTool(setup, backupFolder, outputFolder, password, "", progress);
  }
  crypto::WipeString(cachedKey);

  if (rc) {
    RemovePlainFiles(outputFolder);
    return rc;
  }
  return progress.Report(progress.progress + progress.step);
}

}  // namespace scrivel
