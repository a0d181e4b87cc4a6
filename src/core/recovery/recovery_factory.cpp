#include "core/recovery/iphone_recovery_parse.h"

#include "core/backup/backup_engine.h"
#include "core/recovery/device_recovery.h"
#include "core/recovery/local_backup_recovery.h"
#include "core/recovery/owned_files.h"
#include "core/recovery/temporary_root.h"

namespace scrivel {

namespace {

const std::string& TemporaryRootOf(const BackupEngine& engine) {
  const std::filesystem::path workFolder = engine.WorkFolder();
  const std::string appDataFolder = workFolder.parent_path().string() + "/";
  return ChooseTemporaryRoot(appDataFolder, workFolder.string() + "/");
}

}  // namespace

std::unique_ptr<IPhoneRecoveryParse> CreateRecoverySource(int kind, BackupEngine* engine) {
  std::unique_ptr<IPhoneRecoveryParse> source;
  if (kind == kSourceKindLocalBackup && engine != nullptr) {
    source = std::make_unique<CLocalBackupRecovery>(TemporaryRootOf(*engine));
  }
  if (kind == kSourceKindDevice) return CreateDeviceSource(engine, std::string());
  if (source) (void)source->Attach(engine);
  return source;
}

std::unique_ptr<IPhoneRecoveryParse> CreateDeviceSource(BackupEngine* engine, const std::string& udid) {
  if (engine == nullptr) return nullptr;
  auto source = std::make_unique<CDeviceRecovery>(TemporaryRootOf(*engine), udid);
  (void)source->Attach(engine);
  return source;
}

std::size_t RemoveEarlierRunLeftovers(const BackupEngine& engine) {
  return RemoveRunLeftovers(engine.WorkFolder().string(), TemporaryRootOf(engine));
}

}  // namespace scrivel
