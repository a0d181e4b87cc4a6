// The identifier under which a backup stores a file: the SHA-1 of the file's
// domain-qualified name ("HomeDomain-Library/SMS/sms.db"), written as 40
// lowercase hexadecimal digits. It is both the stored file's name and the
// fileID column of Manifest.db.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scrivel {

inline constexpr std::size_t kFileIdLength = 40;  // 20-byte SHA-1 as hex digits

// Returns the identifier of `name` (SHA-1 of its bytes, lowercase hex).
std::string ComputeFileId(std::string_view name);

// Returns the identifier of domain + "-" + relativePath without building the
// joined name first.
std::string ComputeFileId(std::string_view domain, std::string_view relativePath);

// True when `text` is exactly 40 lowercase hexadecimal digits.
bool IsFileId(std::string_view text);

}  // namespace scrivel
