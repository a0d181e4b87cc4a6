// Renders the application's windows to PNG files so that their look can be
// reviewed without a display (run on Qt's offscreen platform by
// scripts/screenshot.sh). Usage: scrivel-screenshot OUT_DIR [SUFFIX]
//
// Each shot below builds one window in a typical state; a window that
// arrives later adds its shot to the table.
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QPainter>
#include <QTimer>
#include <functional>
#include <iostream>
#include <optional>
#include <vector>

#include "core/common/language_strings.h"
#include "gui/app/assist_menu.h"
#include "gui/app/main_wnd.h"
#include "gui/controls/source_option_ui.h"
#include "gui/dialogs/message_box.h"
#include "gui/skin/application_look.h"

namespace {

using scrivel::CLanguageStrings;
using namespace scrivel::gui;

constexpr QRgb kBackdropColor = 0xFFE4E8EE;  // desk colour behind translucent windows

struct ShotContext {
  QDir outDir;
  QString suffix;  // added to every file name, e.g. "@2x"
};

// Draws widget on the backdrop, so that its shadow and rounded corners show.
QImage RenderOnBackdrop(QWidget& widget) {
  const QPixmap grabbed = widget.grab();
  QImage image(grabbed.size(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(grabbed.devicePixelRatio());
  image.fill(kBackdropColor);
  QPainter painter(&image);
  painter.drawPixmap(0, 0, grabbed);
  return image;
}

bool Save(const ShotContext& context, const QString& name, const QImage& image) {
  const QString path = context.outDir.filePath(name + context.suffix + QStringLiteral(".png"));
  if (!image.save(path)) {
    std::cerr << "cannot write " << path.toStdString() << "\n";
    return false;
  }
  std::cout << path.toStdString() << "\n";
  return true;
}

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

QString Message(const char* id) {
  QString text = QString::fromStdString(CLanguageStrings::Instance().Message(id));
  return text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

bool ShootMainWindow(const ShotContext& context) {
  CMainWnd window;
  window.show();
  Settle();
  bool saved = Save(context, QStringLiteral("main-device"), RenderOnBackdrop(window));
  window.skin().optBackupFile->click();
  Settle();
  saved = Save(context, QStringLiteral("main-backup"), RenderOnBackdrop(window)) && saved;

  CAssistMenu& menu = window.assistMenu();
  menu.popup(window.mapToGlobal(QPoint(40, 40)));
  Settle();
  saved = Save(context, QStringLiteral("assist-menu"), RenderOnBackdrop(menu)) && saved;
  menu.hide();
  window.hide();
  return saved;
}

bool ShootMessageBoxes(const ShotContext& context) {
  struct BoxShot {
    const char* name;
    int kind;
    QString text;
    QSize size;
  };
  const std::vector<BoxShot> shots{
      {"messagebox-error", kMessageError, Message("MSG0201"), {600, 200}},
      {"messagebox-confirm", kMessageConfirm, Message("MSG0510"), {550, 200}},
      {"messagebox-information", kMessageInformation, QStringLiteral("Vantoric Scrivel for iOS is running."),
       {350, 150}},
      {"messagebox-warning", kMessageWarning, Message("MSG0301"), {550, 180}},
      {"messagebox-question", kMessageQuestion, Message("MSG0511"), {550, 200}},
  };
  bool saved = true;
  for (const BoxShot& shot : shots) {
    CMessageBox box(nullptr, shot.kind);
    box.Prepare(std::nullopt, shot.text, shot.size.width(), shot.size.height());
    box.show();
    Settle();
    saved = Save(context, QLatin1String(shot.name), RenderOnBackdrop(box)) && saved;
    box.hide();
  }
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::cerr << "usage: scrivel-screenshot OUT_DIR [SUFFIX]\n";
    return 2;
  }
  InstallApplicationLook(app);
  ShotContext context{QDir(QString::fromLocal8Bit(argv[1])), argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString()};
  if (!context.outDir.mkpath(QStringLiteral("."))) {
    std::cerr << "cannot create " << argv[1] << "\n";
    return 1;
  }
  const std::vector<std::function<bool(const ShotContext&)>> shots{ShootMainWindow, ShootMessageBoxes};
  bool ok = true;
  for (const auto& shoot : shots) ok = shoot(context) && ok;
  return ok ? 0 : 1;
}
