// Lets the export copy files and write the raw row files through the
// recovery source of the scan.
#pragma once

#include <system_error>

#include "core/export/export_source.h"
#include "core/recovery/iphone_recovery_parse.h"

namespace scrivel {

class RecoveryExportSource : public IExportSource {
 public:
  // `source` must outlive this object.
  explicit RecoveryExportSource(IPhoneRecoveryParse& source) : m_source(source) {}

  [[nodiscard]] std::error_code CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
              void* userData) override {
    return m_source.CopyOut(source, destination, callback, userData);
  }
  [[nodiscard]] std::error_code ExportMessagesCsv(const std::string& csvPath) override { return m_source.ExportMessagesCsv(csvPath); }
  [[nodiscard]] std::error_code ExportContactsCsv(const std::string& csvPath) override { return m_source.ExportContactsCsv(csvPath); }

 private:
  IPhoneRecoveryParse& m_source;
};

}  // namespace scrivel
