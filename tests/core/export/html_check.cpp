#include "html_check.h"

#include <cctype>
#include <set>
#include <vector>

namespace scrivel::testing {

namespace {

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string CheckHtml(const std::string& html) {
  const std::set<std::string> voidElements = {"meta", "br", "link", "img", "hr", "input"};
  std::vector<std::string> open;
  std::size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '&') {
      std::size_t end = i + 1;
      while (end < html.size() && (IsNameChar(html[end]) || html[end] == '#')) ++end;
      if (end == i + 1 || end >= html.size() || html[end] != ';') return "bare & at " + std::to_string(i);
      i = end + 1;
      continue;
    }
    if (c != '<') {
      ++i;
      continue;
    }
    const std::size_t close = html.find('>', i);
    if (close == std::string::npos) return "unterminated tag at " + std::to_string(i);
    if (html.compare(i, 2, "<!") == 0) {
      i = close + 1;
      continue;
    }
    const bool closing = i + 1 < html.size() && html[i + 1] == '/';
    std::size_t nameStart = i + (closing ? 2 : 1);
    std::size_t nameEnd = nameStart;
    while (nameEnd < html.size() && IsNameChar(html[nameEnd])) ++nameEnd;
    if (nameEnd == nameStart) return "stray < at " + std::to_string(i);
    const std::string name = Lower(html.substr(nameStart, nameEnd - nameStart));
    if (closing) {
      if (open.empty() || open.back() != name) return "unexpected </" + name + "> at " + std::to_string(i);
      open.pop_back();
    } else if (!voidElements.contains(name) && html[close - 1] != '/') {
      open.push_back(name);
    }
    i = close + 1;
  }
  if (!open.empty()) return "<" + open.back() + "> is never closed";
  return "";
}

}  // namespace scrivel::testing
