// "index.html" at the top of an export folder: one page that links every
// page the export wrote and every folder of copied files, grouped by
// category, so a person can start reading from one place.
#pragma once

#include <system_error>

#include <string>
#include <vector>

namespace scrivel {

struct ExportIndexLink {
  std::string section;       // "Messages", "Call History", "Camera Roll", ...
  std::string label;         // the text of the link
  std::string relativePath;  // below the export folder, "/" separated
};

// `relativePath` as the href of a link: every byte outside the unreserved
// set and "/" is percent-encoded.
std::string UrlPathEncode(const std::string& relativePath);

// Writes the index page at `indexPath`, at the top of the export folder,
// with the links grouped by section, sections in the order of their first
// link. Returns success or the system's error.
[[nodiscard]] std::error_code WriteExportIndex(const std::string& indexPath, const std::string& deviceName,
                                   const std::vector<ExportIndexLink>& links);

}  // namespace scrivel
