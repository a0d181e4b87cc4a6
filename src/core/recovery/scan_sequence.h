// Runs one whole scan over a recovery source: opens it, then the category
// scans in their fixed order, filling ScanResults and telling an observer
// after each category. The desktop scan page and the command line share it.
#pragma once

#include <system_error>

#include <span>
#include <string>
#include <string_view>

#include "core/recovery/iphone_recovery_parse.h"
#include "core/recovery/scan_results.h"
#include "core/recovery/category_kind.h"

namespace scrivel {

// The name of a category in the results tree: "Camera Roll", "Photo Stream",
// "App Photos", "App Videos", "Messages", "Messages Attachments",
// "Contacts", "Call History", "Notes", "WhatsApp", "WhatsApp Attachments".
std::string_view CategoryTreeName(CategoryKind kind);

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // A category scan starts (for progress displays).
  virtual void OnScanStarting(std::string_view operation) { (void)operation; }
  // The source opened; the category scans follow.
  virtual void OnSourceOpened() {}
  // The results of these categories are complete. A scan that fills two
  // categories (photos, app files) reports both at once.
  virtual void OnCategoriesDone(std::span<const CategoryKind> kinds) { (void)kinds; }
};

// Opens `source` with `password` and runs ScanPhotos, ScanMessages,
// ScanMessageAttachments, ScanContacts, ScanCallHistory, ScanNotes,
// ScanAppFiles (then the split into App Photos and App Videos), ScanWhatsApp
// and ScanWhatsAppAttachments, stopping as soon as one returns kCancelled.
// Other failures leave their category empty and the scan goes on.
//
// Returns the result of OpenSource when it fails (kWrongPassword, kCancelled,
// kBadFile, ...); otherwise kCancelled when the scan was stopped, else success.
[[nodiscard]] std::error_code RunScanSequence(IPhoneRecoveryParse& source, const std::string& password, ScanResults& results,
                    ScanObserver& observer);

}  // namespace scrivel
