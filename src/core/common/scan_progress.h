// The overall progress of one scan: each category scan adds its share to
// `progress` and reports the new value; the per-entry loops of the file scans
// report within their share. The callback's non-empty answer asks the scan to
// stop and becomes the operation's result.
#pragma once

#include <cstdint>
#include <system_error>

#include "core/common/progress.h"

namespace scrivel {

// Share of one category scan, in percent: a backup that must be decrypted
// first gives one share to the decryption.
inline constexpr int kPlainBackupStep = 11;
inline constexpr int kEncryptedBackupStep = 10;

struct ScanProgress {
  ProgressCallback callback = nullptr;  // may be null: nothing is reported
  void* userData = nullptr;             // handed back to callback
  int progress = 0;                     // percent reported so far
  int step = kPlainBackupStep;          // share of one category

  // Calls the callback with percent; returns its answer (success without one).
  [[nodiscard]] std::error_code Report(int percent) const {
    return callback != nullptr ? callback(userData, percent) : std::error_code{};
  }

  // Adds share to progress and reports the new value.
  [[nodiscard]] std::error_code Advance(int share) {
    progress += share;
    return Report(progress);
  }

  // The value reported after entry index (0-based) of entryCount entries
  // during a walk that spans `shares` steps.
  int WithinWalk(std::uint64_t index, std::uint64_t entryCount, int shares) const {
    return progress + static_cast<int>((index + 1) * static_cast<std::uint64_t>(step * shares) / entryCount);
  }
};

}  // namespace scrivel
