// The backup decryption tool: reads a backup's keybag, opens it with the
// password (or the derived key) from standard input, and writes a plain copy
// of every stored file into the output folder. The protocol with the
// application is in core/backup/decryption_tool_protocol.h.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/backup/decryption_tool_protocol.h"
#include "core/common/plist_load.h"
#include "core/common/private_folder.h"
#include "core/common/program_arguments.h"
#include "core/common/result_codes.h"
#include "core/crypto/backup_key_material.h"
#include "core/crypto/class_keys.h"
#include "core/crypto/hex.h"
#include "core/crypto/key_derivation.h"
#include "core/crypto/keybag.h"
#include "tools/decrypt/decrypt_workers.h"
#include "tools/decrypt/manifest_db_copy.h"
#include "tools/decrypt/secret_input.h"
#include "tools/decrypt/stored_file_list.h"
#include "tools/decrypt/tool_console.h"

namespace scrivel::decrypt_tool {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kMinWorkerThreads = 2;  // decryption and file reads overlap even on one core
constexpr unsigned kMaxWorkerThreads = 8;

struct ToolArguments {
  bool keyFromStdin = false;  // standard input holds the derived key, not the password
  bool printKey = false;      // print the derived key once the keybag opens
  fs::path backupFolder;
  fs::path outputFolder;
};

constexpr const char* kProgram = "tool";
constexpr const char* kUsage =
    "usage: tool [--key-stdin] [--print-key] BACKUP_FOLDER OUTPUT_FOLDER\n"
    "Writes a plain copy of every stored file of the encrypted backup BACKUP_FOLDER into\n"
    "OUTPUT_FOLDER. The password (or with --key-stdin the key as 64 hex digits) is read as one\n"
    "line from standard input, never from the command line.\n"
    "  --key-stdin  standard input holds the derived key instead of the password\n"
    "  --print-key  print the derived key once the keybag opens\n";

// Reads the command line into `out`. On a command line it refuses, sets
// `problem` and returns false. Arguments are never repeated in the problem:
// one of them could be a password given by mistake.
bool ParseArguments(int argc, char** argv, ToolArguments& out, std::string& problem) {
  std::vector<std::string_view> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == kToolOptionKeyStdin) {
      out.keyFromStdin = true;
    } else if (argument == kToolOptionPrintKey) {
      out.printKey = true;
    } else if (argument.starts_with("-")) {
      problem = "unknown option (not repeated here: it could be a password)";
      return false;
    } else {
      folders.push_back(argument);
    }
  }
  // A third positional argument would be a password on the command line,
  // where other users can read it: refused.
  if (folders.size() != 2 || folders[0].empty() || folders[1].empty()) {
    problem = folders.size() > 2 ? "more than two folders (the password is read from standard input)"
                                 : "give BACKUP_FOLDER and OUTPUT_FOLDER";
    return false;
  }
  out.backupFolder = folders[0];
  out.outputFolder = folders[1];
  return true;
}

// True when `inner` is `outer` or lies below it (after resolving links).
bool IsSameOrInside(const fs::path& inner, const fs::path& outer) {
  std::error_code ec;
  const std::string innerText = fs::weakly_canonical(inner, ec).string() + "/";
  const std::string outerText = fs::weakly_canonical(outer, ec).string() + "/";
  return innerText.starts_with(outerText);
}

int Fail(ToolConsole& console, const std::string& reason, int exitCode) {
  console.Line("Error: " + reason);
  return exitCode;
}

// Turns the secret from standard input into the password key: derived from
// the password, or parsed from hexadecimal with --key-stdin.
bool ObtainPasswordKey(const ToolArguments& arguments, const crypto::SecretBytes& secret,
                       const crypto::Keybag& keybag, ToolConsole& console, crypto::SecretBytes& passwordKey) {
  if (arguments.keyFromStdin) {
    passwordKey = crypto::SecretBytes(crypto::kPasswordKeySize);
    const std::string_view hex(reinterpret_cast<const char*>(secret.data()), secret.size());
    return crypto::ParseHex(hex, passwordKey.mutableView());
  }
  console.Line(kToolDerivingKeyText);
  return !crypto::DerivePasswordKey(secret.view(), keybag, passwordKey);
}

// Lists the stored files from whichever manifest the backup has, writing the
// plain Manifest.db into the output folder on the way.
std::error_code ListStoredFiles(const ToolArguments& arguments, const crypto::BackupKeyMaterial& keyMaterial,
                    const crypto::ClassKeys& classKeys, ToolConsole& console, JobList& files, std::string& error) {
  const fs::path manifestDb = arguments.backupFolder / "Manifest.db";
  const fs::path manifestMbdb = arguments.backupFolder / "Manifest.mbdb";
  std::error_code ec;
  if (fs::exists(manifestDb, ec)) {
    const fs::path plainCopy = arguments.outputFolder / kDecryptedManifestName;
    if (const std::error_code rc = WritePlainManifestDb(manifestDb, plainCopy, keyMaterial, classKeys, console, error); rc) {
      return rc;
    }
    return ListFilesFromManifestDb(plainCopy, arguments.backupFolder, console, files, error);
  }
  if (fs::exists(manifestMbdb, ec)) return ListFilesFromMbdb(manifestMbdb, arguments.backupFolder, console, files, error);
  error = "the backup has neither Manifest.db nor Manifest.mbdb";
  return kBadFile;
}

int Run(const ToolArguments& arguments, crypto::SecretBytes& secret) {
  ToolConsole console;
  std::error_code ec;
  if (!fs::is_directory(arguments.backupFolder, ec)) return Fail(console, "the backup folder does not exist", kToolExitBadBackup);
  if (IsSameOrInside(arguments.outputFolder, arguments.backupFolder)) {
    return Fail(console, "the output folder lies inside the backup folder", kToolExitUsage);
  }
  // The decrypted files are readable by their owner only.
  if (CreatePrivateFolder(arguments.outputFolder)) {
    return Fail(console, "the output folder cannot be created", kToolExitCannotWrite);
  }

  std::vector<std::uint8_t> manifestPlist;
  std::string error;
  if (ReadPlistBytes(arguments.backupFolder / "Manifest.plist", manifestPlist, error)) {
    return Fail(console, "Manifest.plist cannot be read: " + error, kToolExitBadBackup);
  }
  crypto::BackupKeyMaterial keyMaterial;
  if (crypto::ReadBackupKeyMaterial(manifestPlist, keyMaterial, error)) {
    return Fail(console, error, kToolExitBadBackup);
  }
  if (!keyMaterial.isEncrypted) return Fail(console, "the backup is not encrypted", kToolExitBadBackup);
  crypto::Keybag keybag;
  if (crypto::ParseKeybag(keyMaterial.keybag, keybag, error)) return Fail(console, error, kToolExitBadBackup);

  crypto::SecretBytes passwordKey;
  const bool keyObtained = ObtainPasswordKey(arguments, secret, keybag, console, passwordKey);
  secret.Clear();
  if (!keyObtained) {
    if (arguments.keyFromStdin) return Fail(console, "the key on standard input is not 64 hex digits", kToolExitUsage);
    return Fail(console, "the key derivation failed", kToolExitBadBackup);
  }
  crypto::ClassKeys classKeys;
  const std::error_code unlockRc = classKeys.Unlock(keybag, passwordKey.view());
  if (unlockRc == kWrongPassword) {
    console.Line(kToolWrongPasswordText);
    return kToolExitWrongPassword;
  }
  if (unlockRc) return Fail(console, "the keybag has no key wrapped with the password", kToolExitBadBackup);
  if (arguments.printKey) {
    std::string line = std::string(kToolKeyMarker) + " " + crypto::ToHex(passwordKey.view());
    console.Line(line);
    crypto::WipeString(line);
  }
  passwordKey.Clear();

  // The manifest is read on a thread of its own while the workers already
  // decrypt the files it has listed.
  JobList files;
  DecryptionTotals totals;
  std::error_code listed;
  {
    std::jthread lister([&] {
      listed = ListStoredFiles(arguments, keyMaterial, classKeys, console, files, error);
      files.Finish();
    });
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), kMinWorkerThreads, kMaxWorkerThreads);
    DecryptStoredFiles(files, classKeys, arguments.outputFolder, threads, console, totals);
  }
  if (listed) {
    return Fail(console, error,
                listed == kBadFile || listed == kMbdbUnopenable ? kToolExitBadBackup : kToolExitCannotWrite);
  }

  const std::uint64_t problems = files.RejectedRecords() + totals.missing + totals.failed + totals.damaged;
  console.Line("Done: " + std::to_string(files.Size()) + " files, " + std::to_string(totals.written.load()) +
               " written, " + std::to_string(totals.missing.load()) + " missing, " +
               std::to_string(totals.failed.load() + files.RejectedRecords()) + " failed, " +
               std::to_string(totals.damaged.load()) + " damaged, " + std::to_string(totals.sizeMismatches.load()) +
               " size mismatches");
  if (totals.outputUnwritable) return Fail(console, "the output folder cannot be written", kToolExitCannotWrite);
  return problems == 0 ? kToolExitOk : kToolExitSomeFilesFailed;
}

}  // namespace
}  // namespace scrivel::decrypt_tool

int main(int argc, char** argv) {
  using namespace scrivel::decrypt_tool;
  for (int i = 1; i < argc; ++i) {
    if (scrivel::IsHelpOption(argv[i])) return scrivel::ShowUsage(kUsage);
  }
  ToolArguments arguments;
  std::string problem;
  if (!ParseArguments(argc, argv, arguments, problem)) {
    static_assert(scrivel::kToolExitUsage == scrivel::kExitBadArguments);
    return scrivel::RefuseArgument(kProgram, problem, "", kUsage);
  }
  scrivel::crypto::SecretBytes secret;
  if (!ReadSecretLine(STDIN_FILENO, secret)) {
    std::fprintf(stderr, "tool: no secret line on standard input\n");
    return scrivel::kToolExitUsage;
  }
  return Run(arguments, secret);
}
