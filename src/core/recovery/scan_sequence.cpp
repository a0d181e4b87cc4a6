#include "core/recovery/scan_sequence.h"

#include <array>

#include "core/common/result_codes.h"
#include "core/recovery/app_file_split.h"

namespace scrivel {

std::string_view CategoryTreeName(CategoryKind kind) {
  switch (kind) {
    case CategoryKind::kCameraRoll: return "Camera Roll";
    case CategoryKind::kPhotoStream: return "Photo Stream";
    case CategoryKind::kAppPhotos: return "App Photos";
    case CategoryKind::kAppVideos: return "App Videos";
    case CategoryKind::kMessages: return "Messages";
    case CategoryKind::kMessageAttachments: return "Messages Attachments";
    case CategoryKind::kContacts: return "Contacts";
    case CategoryKind::kCallHistory: return "Call History";
    case CategoryKind::kNotes: return "Notes";
    case CategoryKind::kWhatsApp: return "WhatsApp";
    case CategoryKind::kWhatsAppAttachments: return "WhatsApp Attachments";
    case CategoryKind::kNone: break;
  }
  return {};
}

std::error_code RunScanSequence(IPhoneRecoveryParse& source, const std::string& password, ScanResults& results,
                    ScanObserver& observer) {
  observer.OnScanStarting("Opening the backup");
  const std::error_code opened = source.OpenSource(password);
  if (opened) return opened;
  results.manifestProblem = source.TakeScanNote();
  observer.OnSourceOpened();

  // Each step runs one scan and reports its categories; a cancel ends the walk.
  struct Step {
    std::string_view operation;
    std::error_code (*run)(IPhoneRecoveryParse& source, ScanResults& results);
    std::array<CategoryKind, 2> kinds;  // kNone when the scan fills one category
  };
  const Step steps[] = {
      {"Photos",
       [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanPhotos(r.cameraRoll, r.photoStream); },
       {CategoryKind::kCameraRoll, CategoryKind::kPhotoStream}},
      {"Messages", [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanMessages(r.messages); },
       {CategoryKind::kMessages, CategoryKind::kNone}},
      {"Message attachments",
       [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanMessageAttachments(r.messageAttachments); },
       {CategoryKind::kMessageAttachments, CategoryKind::kNone}},
      {"Contacts", [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanContacts(r.contacts); },
       {CategoryKind::kContacts, CategoryKind::kNone}},
      {"Call history", [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanCallHistory(r.calls); },
       {CategoryKind::kCallHistory, CategoryKind::kNone}},
      {"Notes", [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanNotes(r.notes); }, {CategoryKind::kNotes, CategoryKind::kNone}},
      {"App files",
       [](IPhoneRecoveryParse& s, ScanResults& r) {
         const std::error_code result = s.ScanAppFiles(r.appFiles);
         SplitAppFiles(r.appFiles, r.appPhotos, r.appVideos);
         return result;
       },
       {CategoryKind::kAppPhotos, CategoryKind::kAppVideos}},
      {"WhatsApp", [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanWhatsApp(r.whatsApp); },
       {CategoryKind::kWhatsApp, CategoryKind::kNone}},
      {"WhatsApp attachments",
       [](IPhoneRecoveryParse& s, ScanResults& r) { return s.ScanWhatsAppAttachments(r.whatsAppFiles); },
       {CategoryKind::kWhatsAppAttachments, CategoryKind::kNone}},
  };
  for (const Step& step : steps) {
    observer.OnScanStarting(step.operation);
    const std::error_code result = step.run(source, results);
    const std::size_t kindCount = step.kinds[1] == CategoryKind::kNone ? 1 : 2;
    std::string note = source.TakeScanNote();
    if (note.empty() && result && result != kCancelled) note = result.message();
    if (!note.empty()) {
      for (std::size_t i = 0; i < kindCount; ++i) results.problems[step.kinds[i]] = note;
    }
    observer.OnCategoriesDone(std::span<const CategoryKind>(step.kinds.data(), kindCount));
    if (result == kCancelled) return kCancelled;
  }
  // Counted on a worker while the categories were scanned; taken last, so
  // the scan never waits for it.
  results.missingFiles = source.MissingFileCount();
  return {};
}

}  // namespace scrivel
