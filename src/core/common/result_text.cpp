#include "core/common/result_text.h"

#include <system_error>

#include "core/common/result_codes.h"

namespace scrivel {

std::string ResultText(int code) {
  switch (code) {
    case kOk:
      return "Success";
    case kCancelled:
      return "Cancelled";
    case kDeviceGone:
      return "The device was disconnected or the backup stopped";
    case kWrongPassword:
      return "The backup password is wrong";
    case kShortRead:
      return "The file ended early or could not be read";
    case kBadFile:
      return "The file is missing, cannot be opened or is not of the expected kind";
    case kQueryError:
      return "A database query failed";
    case kMbdbUnopenable:
      return "Manifest.mbdb cannot be opened";
    default:
      return std::error_code(code, std::system_category()).message();
  }
}

}  // namespace scrivel
