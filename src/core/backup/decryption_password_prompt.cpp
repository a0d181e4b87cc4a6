#include "core/backup/decryption_password_prompt.h"

#include "core/crypto/secret_bytes.h"

namespace scrivel {

bool AskBackupPassword(const BackupInfo& info, PasswordPrompt& prompt, std::string& password) {
  if (!info.encrypted) return false;
  for (;;) {
    PasswordPrompt::Answer answer = prompt.AskPassword();
    if (!answer.confirmed) {
      crypto::WipeString(answer.password);
      return true;
    }
    if (!answer.password.empty() ||
        prompt.WarnEmptyPassword() == PasswordPrompt::EmptyPasswordChoice::kUseEmpty) {
      crypto::WipeString(password);
      password = std::move(answer.password);
      return false;
    }
  }
}

}  // namespace scrivel
