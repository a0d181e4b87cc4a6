// The results that cross module boundaries, carried as std::error_code.
//
// Three kinds of result travel in one error_code, each in its own category,
// so that one can never be taken for another:
//   - the project's own codes (ResultCategory(), the enum below): their
//     numbers are fixed, because stored files, the decryption tool's answers
//     and the messages rely on them;
//   - operating-system errors (std::generic_category(), from errno);
//   - errors a device reports (a category of the device link).
// Success is the empty error_code: test it with `if (result)` or `!result`.
// A result is compared with a project code as `result == kCancelled`, which
// is true only for a cancel, never for the operating system's ENOENT (2).
#pragma once

#include <system_error>

namespace scrivel {

enum class ResultCode : int {
  kCancelled = 2,          // the progress callback asked to stop
  kDeviceGone = -1,        // device disconnected or backup stopped
  kWrongPassword = -110,   // the backup password does not open the keybag
  kShortRead = 30,         // a file ended inside a page, or a read returned nothing
  kBadFile = 87,           // missing, unopenable or wrong kind of file; a record that fails a test
  kQueryError = 1006,      // a database query failed
  kMbdbUnopenable = 6009,  // Manifest.mbdb cannot be opened
};

inline constexpr ResultCode kCancelled = ResultCode::kCancelled;
inline constexpr ResultCode kDeviceGone = ResultCode::kDeviceGone;
inline constexpr ResultCode kWrongPassword = ResultCode::kWrongPassword;
inline constexpr ResultCode kShortRead = ResultCode::kShortRead;
inline constexpr ResultCode kBadFile = ResultCode::kBadFile;
inline constexpr ResultCode kQueryError = ResultCode::kQueryError;
inline constexpr ResultCode kMbdbUnopenable = ResultCode::kMbdbUnopenable;

// The category of the project's own codes; its messages are sentences a
// person can read ("the backup password is wrong").
[[nodiscard]] const std::error_category& ResultCategory() noexcept;

[[nodiscard]] std::error_code make_error_code(ResultCode code) noexcept;

// The operating-system error in errno, as a result (never a bare int); an
// input/output error when errno holds none, so a failure never reads as
// success.
[[nodiscard]] std::error_code LastSystemError() noexcept;
// An operating-system error number, as a result; 0 gives success.
[[nodiscard]] std::error_code SystemError(int errorNumber) noexcept;

}  // namespace scrivel

template <>
struct std::is_error_code_enum<scrivel::ResultCode> : std::true_type {};
