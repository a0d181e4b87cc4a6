#include "core/export/export_index.h"

#include <algorithm>
#include <cstdio>

#include "core/export/html_text.h"
#include "core/export/output_file.h"

namespace scrivel {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~' || c == '/';
}

constexpr const char* kIndexHead =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
constexpr const char* kIndexStyle =
    "</title>\n<style>\n"
    "body{font-family:\"Segoe UI\",\"Helvetica Neue\",Arial,sans-serif;margin:0;background:#f4f6f8;color:#1f2933}\n"
    "header{background:#2b6cb0;color:#fff;padding:24px 32px}\n"
    "header h1{margin:0;font-size:24px;font-weight:600}\n"
    "main{max-width:960px;margin:24px auto;padding:0 24px}\n"
    "section{background:#fff;border-radius:8px;box-shadow:0 1px 3px rgba(0,0,0,.12);margin-bottom:20px;"
    "padding:16px 24px}\n"
    "h2{font-size:18px;margin:4px 0 12px;color:#2b6cb0}\n"
    "ul{margin:0;padding-left:20px}li{margin:4px 0}\n"
    "a{color:#1a4f8b;text-decoration:none}a:hover{text-decoration:underline}\n"
    "</style>\n</head>\n<body>\n<header><h1>";

}  // namespace

std::string UrlPathEncode(const std::string& relativePath) {
  std::string out;
  for (char c : relativePath) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      out += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      out += escaped;
    }
  }
  return out;
}

std::error_code WriteExportIndex(const std::string& indexPath, const std::string& deviceName,
                     const std::vector<ExportIndexLink>& links) {
  const std::string title = EscapeHtml("Recovered data of " + deviceName);
  std::string page = kIndexHead + title + kIndexStyle + title + "</h1></header>\n<main>\n";
  // Sections in the order of their first link; each lists all its links.
  std::vector<std::string> sections;
  for (const ExportIndexLink& link : links) {
    if (std::find(sections.begin(), sections.end(), link.section) == sections.end()) sections.push_back(link.section);
  }
  for (const std::string& section : sections) {
    page += "<section>\n<h2>" + EscapeHtml(section) + "</h2>\n<ul>\n";
    for (const ExportIndexLink& link : links) {
      if (link.section != section) continue;
      page += "<li><a href=\"" + UrlPathEncode(link.relativePath) + "\">" + EscapeHtml(link.label) + "</a></li>\n";
    }
    page += "</ul>\n</section>\n";
  }
  if (links.empty()) page += "<section><p>Nothing was exported.</p></section>\n";
  page += "</main>\n</body>\n</html>\n";
  return WriteWholeFile(indexPath, {page});
}

}  // namespace scrivel
