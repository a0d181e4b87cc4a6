#include "gui/app/web_addresses.h"

#include "core/common/profile_file.h"

namespace scrivel::gui {

namespace {

constexpr char kSectionName[] = "WebAddresses";

void TakeAddress(const std::string& text, QUrl& address) {
  const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
  if (url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))) {
    address = url;
  }
}

}  // namespace

WebAddresses LoadWebAddresses(const std::string& appDirectory) {
  WebAddresses addresses{QUrl(QStringLiteral("https://www.vantoric.com/scrivel-ios/guide.html")),
                         QUrl(QStringLiteral("https://www.vantoric.com/about.html")),
                         QUrl(QStringLiteral("https://www.vantoric.com/support.html"))};
  for (const ProfileSection& section : ReadProfileFile(appDirectory + "config.ini")) {
    if (section.name != kSectionName) continue;
    for (const auto& [key, value] : section.lines) {
      if (key == "Help") TakeAddress(value, addresses.help);
      if (key == "About") TakeAddress(value, addresses.about);
      if (key == "Support") TakeAddress(value, addresses.support);
    }
  }
  return addresses;
}

}  // namespace scrivel::gui
