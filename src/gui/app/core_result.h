// How the desktop application reads the results of core operations. Every
// check of a core result and every text shown for one goes through this
// file.
#pragma once

#include <QString>

#include <system_error>

namespace scrivel::gui {

// True when a core operation succeeded.
bool CoreSucceeded(const std::error_code& result);
// True when a core operation stopped because it was asked to.
bool CoreCancelled(const std::error_code& result);
// True when an encrypted backup refused the password.
bool CoreWrongPassword(const std::error_code& result);
// True when a device went away or its backup was stopped.
bool CoreDeviceGone(const std::error_code& result);

// The result a stopped operation reports.
[[nodiscard]] std::error_code CoreCancelledResult();

// What happened, in words a person reads in a message box: the message of
// the result's own category (the project's codes and operating-system
// errors alike), as a sentence.
QString CoreResultText(const std::error_code& result);

}  // namespace scrivel::gui
