#include "gui/app/core_result.h"

#include "core/common/result_codes.h"

namespace scrivel::gui {

bool CoreSucceeded(const std::error_code& result) { return !result; }

bool CoreCancelled(const std::error_code& result) { return result == kCancelled; }

std::error_code CoreCancelledResult() { return kCancelled; }

bool CoreWrongPassword(const std::error_code& result) { return result == kWrongPassword; }

bool CoreDeviceGone(const std::error_code& result) { return result == kDeviceGone; }

QString CoreResultText(const std::error_code& result) {
  if (!result) return QStringLiteral("The operation completed.");
  QString text = QString::fromStdString(result.message());
  if (!text.isEmpty()) text[0] = text[0].toUpper();
  // Some categories' messages are sentences already.
  return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

}  // namespace scrivel::gui
