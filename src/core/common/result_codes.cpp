#include "core/common/result_codes.h"

#include <cerrno>
#include <string>

namespace scrivel {
namespace {

class ProjectResultCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "scrivel"; }

  std::string message(int value) const override {
    switch (static_cast<ResultCode>(value)) {
      case ResultCode::kCancelled: return "the operation was cancelled";
      case ResultCode::kDeviceGone: return "the device was disconnected or its backup stopped";
      case ResultCode::kWrongPassword: return "the backup password is wrong";
      case ResultCode::kShortRead: return "the file ended early";
      case ResultCode::kBadFile: return "the file is missing, cannot be opened or is not of the expected kind";
      case ResultCode::kQueryError: return "a database query failed";
      case ResultCode::kMbdbUnopenable: return "Manifest.mbdb cannot be opened";
    }
    return "unknown result " + std::to_string(value);
  }
};

}  // namespace

const std::error_category& ResultCategory() noexcept {
  static const ProjectResultCategory category;
  return category;
}

std::error_code make_error_code(ResultCode code) noexcept { return {static_cast<int>(code), ResultCategory()}; }

std::error_code LastSystemError() noexcept {
  if (errno == 0) return std::make_error_code(std::errc::io_error);
  return SystemError(errno);
}

std::error_code SystemError(int errorNumber) noexcept {
  if (errorNumber == 0) return {};
  return {errorNumber, std::generic_category()};
}

}  // namespace scrivel
