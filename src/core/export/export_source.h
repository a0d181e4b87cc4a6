// What the export needs from the recovery source of the scan: copying a
// stored file out, and the raw row files of the messages and the address
// book. The scan's source implements it (or is adapted to it); tests give a
// fake.
#pragma once

#include <system_error>

#include <string>

#include "core/common/progress.h"

namespace scrivel {

class IExportSource {
 public:
  virtual ~IExportSource() = default;

  // Copies the stored file `source` to `destination` (see CopyOut in
  // core/recovery/file_copy.h for the reports and results).
  [[nodiscard]] virtual std::error_code CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
                      void* userData) = 0;
  // The two row writers below run on the export's helper thread while
  // CopyOut runs on the export's own: they may share nothing that changes.
  //
  // Writes the raw rows of the message table to `csvPath` ("sms.csv").
  [[nodiscard]] virtual std::error_code ExportMessagesCsv(const std::string& csvPath) = 0;
  // Writes the raw rows of the address book to `csvPath` ("Contacts.csv").
  [[nodiscard]] virtual std::error_code ExportContactsCsv(const std::string& csvPath) = 0;
};

}  // namespace scrivel
