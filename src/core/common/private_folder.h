// Folders that hold a person's decrypted data (the work folder, the
// temporary backup root, the decryption output) are readable by their owner
// only, so that nobody else on the machine can read what a scan leaves there
// while it runs or after it was killed.
#pragma once

#include <filesystem>
#include <system_error>

namespace scrivel {

// Creates `folder` with its missing parents and makes `folder` itself
// readable, writable and searchable by its owner only (0700); parents that
// existed keep their modes, and those created here get the same 0700.
// Returns success, the system's error, or kBadFile when something other than
// a folder stands at `folder`.
[[nodiscard]] std::error_code CreatePrivateFolder(const std::filesystem::path& folder);

}  // namespace scrivel
