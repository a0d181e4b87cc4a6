// How the desktop application reads the result codes of core operations.
// Every check of a core result and every text shown for one goes through
// this file, so that a change of the core's result type is made here.
#pragma once

#include <QString>

namespace scrivel::gui {

// True when a core operation succeeded.
bool CoreSucceeded(int result);
// True when a core operation stopped because it was asked to.
bool CoreCancelled(int result);
// True when an encrypted backup refused the password.
bool CoreWrongPassword(int result);
// True when a device went away or its backup was stopped.
bool CoreDeviceGone(int result);

// The result a stopped operation reports.
int CoreCancelledResult();

// What happened, in words a person reads in a message box: the project's
// own codes get their own sentence, anything else is an operating-system
// error with its system text.
QString CoreResultText(int result);

}  // namespace scrivel::gui
