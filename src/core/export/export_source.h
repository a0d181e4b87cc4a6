// What the export needs from the recovery source of the scan: copying a
// stored file out, and the raw row files of the messages and the address
// book. The scan's source implements it (or is adapted to it); tests give a
// fake.
#pragma once

#include <string>

#include "core/recovery/progress.h"

namespace scrivel {

class IExportSource {
 public:
  virtual ~IExportSource() = default;

  // Copies the stored file `source` to `destination` (see CopyOut in
  // core/recovery/file_copy.h for the reports and results).
  virtual int CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
                      void* userData) = 0;
  // The two row writers below run on the export's helper thread while
  // CopyOut runs on the export's own: they may share nothing that changes.
  //
  // Writes the raw rows of the message table to `csvPath` ("sms.csv").
  virtual int ExportMessagesCsv(const std::string& csvPath) = 0;
  // Writes the raw rows of the address book to `csvPath` ("Contacts.csv").
  virtual int ExportContactsCsv(const std::string& csvPath) = 0;
};

}  // namespace scrivel
