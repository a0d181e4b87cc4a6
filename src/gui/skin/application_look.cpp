#include "gui/skin/application_look.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

#include "gui/skin/skin_colors.h"

// Resources compiled into a static library must be registered by name, and
// outside any namespace.
static void RegisterSkinResources() { Q_INIT_RESOURCE(skins); }

namespace scrivel::gui {

namespace {

QPalette SkinPalette() {
  QPalette palette;
  palette.setColor(QPalette::Window, QColor::fromRgba(kWindowColor));
  palette.setColor(QPalette::Base, QColor::fromRgba(kWindowColor));
  palette.setColor(QPalette::AlternateBase, QColor::fromRgba(kBandColor));
  palette.setColor(QPalette::WindowText, QColor::fromRgba(kTextColor));
  palette.setColor(QPalette::Text, QColor::fromRgba(kTextColor));
  palette.setColor(QPalette::ButtonText, QColor::fromRgba(kTextColor));
  palette.setColor(QPalette::Button, QColor::fromRgba(kBandColor));
  palette.setColor(QPalette::Highlight, QColor::fromRgba(kAccentColor));
  palette.setColor(QPalette::HighlightedText, QColor::fromRgba(kWindowColor));
  palette.setColor(QPalette::Link, QColor::fromRgba(kAccentColor));
  palette.setColor(QPalette::ToolTipBase, QColor::fromRgba(kTextColor));
  palette.setColor(QPalette::ToolTipText, QColor::fromRgba(kWindowColor));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, QColor::fromRgba(kDisabledTextColor));
  }
  return palette;
}

}  // namespace

void InstallApplicationLook(QApplication& app) {
  RegisterSkinResources();
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  app.setPalette(SkinPalette());

  // Noto Sans covers Latin, Greek and Cyrillic; the font system falls back to
  // Noto Sans CJK for Chinese, Japanese and Korean names in recovered data.
  QFont font(QStringLiteral("Noto Sans"));
  font.setPointSizeF(9.5);
  font.setStyleHint(QFont::SansSerif);
  app.setFont(font);

  QFile styleSheet(QStringLiteral(":/skins/scrivel.qss"));
  if (styleSheet.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));
}

}  // namespace scrivel::gui
