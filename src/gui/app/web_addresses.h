// The web pages the assist menu opens. They are read from the
// "WebAddresses" section of config.ini (keys "Help", "About", "Support"),
// so that a build for another site needs no code change; the maker's pages
// are the defaults.
#pragma once

#include <QUrl>
#include <string>

namespace scrivel::gui {

struct WebAddresses {
  QUrl help;     // the user guide (the FAQ entry opens it too)
  QUrl about;
  QUrl support;
};

// The addresses for the application folder appDirectory (ending in "/").
// An entry that is missing or not an http(s) address keeps its default.
WebAddresses LoadWebAddresses(const std::string& appDirectory);

}  // namespace scrivel::gui
