// The decision logic of asking for an encrypted backup's password. The
// windows (the password pop-up and the empty-password warning) belong to the
// desktop front end, which implements PasswordPrompt; tests script it.
#pragma once

#include <string>

#include "core/backup/backup_info.h"

namespace scrivel {

class PasswordPrompt {
 public:
  struct Answer {
    bool confirmed = false;  // OK was pressed (false: Cancel, close or Escape)
    std::string password;    // the entered text
  };
  enum class EmptyPasswordChoice {
    kAskAgain,  // the warning's first answer: show the password pop-up again
    kUseEmpty,  // any other answer: go on with the empty password
  };

  virtual ~PasswordPrompt() = default;
  // Shows the password pop-up for a local backup.
  virtual Answer AskPassword() = 0;
  // Shows the warning that the entered password is empty.
  virtual EmptyPasswordChoice WarnEmptyPassword() = 0;
};

// Asks for the password of `info` when it is encrypted. Returns true when the
// user cancelled (`password` is then left unchanged). Otherwise `password`
// holds the answer: a non-empty entry, or the empty text confirmed at the
// warning; for an unencrypted backup nothing is asked and `password` is left
// unchanged.
[[nodiscard]] bool AskBackupPassword(const BackupInfo& info, PasswordPrompt& prompt, std::string& password);

}  // namespace scrivel
