#include "core/recovery/iphone_recovery_parse.h"

#include "core/backup/backup_engine.h"
#include "core/recovery/local_backup_recovery.h"
#include "core/recovery/temporary_root.h"

namespace scrivel {

std::unique_ptr<IPhoneRecoveryParse> CreateRecoverySource(int kind, BackupEngine* engine) {
  std::unique_ptr<IPhoneRecoveryParse> source;
  if (kind == kSourceKindLocalBackup && engine != nullptr) {
    const std::filesystem::path workFolder = engine->WorkFolder();
    const std::string appDataFolder = workFolder.parent_path().string() + "/";
    source = std::make_unique<CLocalBackupRecovery>(ChooseTemporaryRoot(appDataFolder, workFolder.string() + "/"));
  }
  // A connected device's source joins here when device backups are supported.
  if (source) source->Attach(engine);
  return source;
}

}  // namespace scrivel
