#include "gui/app/core_result.h"

#include <cstring>

#include "core/common/result_codes.h"

namespace scrivel::gui {

bool CoreSucceeded(int result) { return result == kOk; }

bool CoreCancelled(int result) { return result == kCancelled; }

int CoreCancelledResult() { return kCancelled; }

bool CoreWrongPassword(int result) { return result == kWrongPassword; }

bool CoreDeviceGone(int result) { return result == kDeviceGone; }

QString CoreResultText(int result) {
  switch (result) {
    case kOk: return QStringLiteral("The operation completed.");
    case kCancelled: return QStringLiteral("The operation was cancelled.");
    case kDeviceGone: return QStringLiteral("The device was disconnected or its backup was stopped.");
    case kWrongPassword: return QStringLiteral("The backup password is not correct.");
    case kShortRead: return QStringLiteral("A file of the backup ended too early; it may be damaged or incomplete.");
    case kBadFile:
      return QStringLiteral("A file the backup needs is missing, cannot be opened or is not of the expected kind.");
    case kQueryError: return QStringLiteral("A database of the backup could not be read.");
    case kMbdbUnopenable: return QStringLiteral("The backup's file list (Manifest.mbdb) cannot be opened.");
    default: break;
  }
  if (result > 0) return QString::fromLocal8Bit(std::strerror(result));
  return QStringLiteral("Error %1.").arg(result);
}

}  // namespace scrivel::gui
