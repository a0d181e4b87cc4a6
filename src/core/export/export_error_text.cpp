#include "core/export/export_error_text.h"

#include <system_error>

#include "core/common/result_codes.h"

namespace scrivel {

std::string ExportErrorText(int errorCode) {
  switch (errorCode) {
    case kBadFile:
      return "The file is missing, cannot be opened or is not of the expected kind";
    case kShortRead:
      return "The file ended early or could not be read";
    case kCancelled:
      return "Cancelled";
    default:
      return std::error_code(errorCode, std::system_category()).message();
  }
}

}  // namespace scrivel
