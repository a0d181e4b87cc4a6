// The contract between the decryption driver (backup_decryption.cpp) and the
// decryption tool (src/tools/decrypt/): command line, standard input, output
// lines, exit codes and the files it leaves.
//
// Command line (an argument vector; no shell):
//   tool [--key-stdin] [--print-key] BACKUP_FOLDER OUTPUT_FOLDER
// Standard input, one line:
//   the backup password (UTF-8), or with --key-stdin the derived password key
//   as 64 hexadecimal digits. The secret never appears on the command line,
//   where any user could read it.
// Output lines (standard output; standard error carries usage errors only):
//   "Deriving key"            the slow key derivation starts
//   "Key: <64 hex digits>"    with --print-key, once the password is verified
//   "Count: <n>"              n stored files handled so far
//   "Wrong password"          the password (or key) does not open the keybag
//   "Missing: <id>", "Failed: <id> <reason>", "Damaged: <id> <details>",
//   "Size mismatch: <id> manifest <a> decrypted <b>"   per-file problems
//   "Error: <reason>"         the backup cannot be decrypted at all
//   "Done: <summary>"         the last line of a run that went through
// Files: every stored file that decrypts is written into OUTPUT_FOLDER under its
// 40-digit identifier; for a backup with Manifest.db the decrypted manifest is
// written there as kDecryptedManifestName. Nothing is written anywhere else.
#pragma once

#include <string_view>

namespace scrivel {

inline constexpr std::string_view kDecryptionToolName = "tool";
inline constexpr std::string_view kDecryptedManifestName = "Manifest.db-decypted";

inline constexpr std::string_view kToolOptionKeyStdin = "--key-stdin";
inline constexpr std::string_view kToolOptionPrintKey = "--print-key";

inline constexpr std::string_view kToolCountMarker = "Count:";
inline constexpr std::string_view kToolWrongPasswordText = "Wrong password";
inline constexpr std::string_view kToolKeyMarker = "Key:";
inline constexpr std::string_view kToolDerivingKeyText = "Deriving key";

// Exit codes of the tool.
inline constexpr int kToolExitOk = 0;               // every stored file was decrypted
inline constexpr int kToolExitSomeFilesFailed = 1;  // the run went through; some files are missing or damaged
inline constexpr int kToolExitUsage = 2;            // bad command line or standard input
inline constexpr int kToolExitWrongPassword = 3;    // "Wrong password"
inline constexpr int kToolExitBadBackup = 4;        // the backup cannot be decrypted (manifest, keybag, not encrypted)
inline constexpr int kToolExitCannotWrite = 5;      // the output folder cannot be created or written

}  // namespace scrivel
