// Renders the application's windows to PNG files so that their look can be
// reviewed without a display (run on Qt's offscreen platform by
// scripts/screenshot.sh). Usage: scrivel-screenshot OUT_DIR [SUFFIX]
//
// Each shot below builds one window in a typical state; a window that
// arrives later adds its shot to the table. The backup page and the result
// shots read the backups of the application-data folder ($XDG_DATA_HOME):
// the script puts a plain sample ("plain") and an encrypted one there.
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QPainter>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>

#include "core/common/language_strings.h"
#include "core/recovery/category_kind.h"
#include "core/recovery/file_item.h"
#include "gui/controls/file_tree_ui.h"
#include "gui/controls/result_list_view.h"
#include "gui/dialogs/decryption_wnd.h"
#include "gui/dialogs/print_wnd.h"
#include "gui/dialogs/recover_process_wnd.h"
#include "gui/models/result_filter_proxy.h"
#include "gui/models/result_list_model.h"
#include "gui/pages/itunes_backup_vrt_wnd.h"
#include "gui/pages/preview_vrt_wnd.h"
#include "gui/app/assist_menu.h"
#include "gui/app/main_wnd.h"
#include "gui/app/media_backend.h"
#include "gui/controls/source_option_ui.h"
#include "gui/dialogs/message_box.h"
#include "gui/skin/application_look.h"

namespace {

using scrivel::CategoryKind;
using scrivel::CLanguageStrings;
using scrivel::MessageItem;
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

// Selects the backup whose folder is named `folderName`; false when none is.
bool SelectBackup(CMainWnd& window, const char* folderName) {
  CItunesBackupVrtWnd& page = window.backupPage();
  for (int i = 0; i < page.list()->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = page.list()->topLevelItem(i);
    const auto& info = page.backups()[static_cast<std::size_t>(row->data(0, Qt::UserRole).toInt())];
    if (QFileInfo(QString::fromStdString(info.folderPath)).fileName() == QLatin1String(folderName)) {
      page.list()->setCurrentItem(row);
      return true;
    }
  }
  return false;
}

// The backup page with no backups found: the guidance of the empty list.
bool ShootEmptyBackupPage(const ShotContext& context) {
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  QTemporaryDir empty;
  qputenv("XDG_DATA_HOME", empty.path().toLocal8Bit());
  bool saved_ok = false;
  {
    CMainWnd window;
    window.skin().optBackupFile->click();
    window.show();
    Settle();
    saved_ok = Save(context, QStringLiteral("backup-empty"), RenderOnBackdrop(window));
    window.hide();
  }
  qputenv("XDG_DATA_HOME", saved);
  return saved_ok;
}

bool ShootScanAndResults(const ShotContext& context) {
  CMainWnd window;
  window.resize(1280, 800);
  window.skin().optBackupFile->click();
  window.show();
  Settle();
  if (!SelectBackup(window, "plain")) {
    std::cerr << "no backup \"plain\" in $XDG_DATA_HOME: run scripts/screenshot.sh\n";
    return false;
  }
  bool saved = Save(context, QStringLiteral("backup-list"), RenderOnBackdrop(window));

  // The password window of the encrypted sample, before and while decrypting.
  if (SelectBackup(window, "locked")) {
    CDecryptionWnd password(window.scanPage(), window.backupPage().backups().front());
    password.Create(&window, 560, 270);
    password.show();
    Settle();
    saved = Save(context, QStringLiteral("password"), RenderOnBackdrop(password)) && saved;
    password.hide();
    SelectBackup(window, "plain");
  }

  // The scan, paused as soon as it has found something.
  CScanVrtWnd& scan = window.scanPage();
  window.backupPage().scanButton()->click();
  auto* pause = scan.page()->findChild<QPushButton*>(QStringLiteral("BtnScanPause"));
  // The small sample scans in a blink: the scan is let on in short steps,
  // paused in between, until it has come some way.
  pause->click();
  for (int step = 0; step < 2000 && scan.scanRunning() && scan.progressBar().value() < 30; ++step) {
    pause->click();
    QTest::qWait(1);
    pause->click();
    Settle();
  }
  Settle();
  saved = Save(context, QStringLiteral("scan-progress"), RenderOnBackdrop(window)) && saved;
  if (scan.scanRunning()) pause->click();
  (void)QTest::qWaitFor([&] { return scan.scanFinished(); }, 60000);
  Settle();

  // Every category with its list, the first row selected and previewed.
  for (CategoryKind kind : scrivel::kAllCategoryKinds) {
    QTreeWidgetItem* node = scan.categoryNode(kind);
    if (node == nullptr || node->isDisabled()) continue;
    scan.tree().setCurrentItem(node);
    Settle();
    CResultListView& list = scan.listView();
    if (scan.listProxy().rowCount() > 0) {
      list.setFocus();
      list.setCurrentIndex(scan.listProxy().index(0, 0));
      if (scan.listModel().level() == CResultListModel::Level::kAppFolders) {
        emit list.activated(scan.listProxy().index(0, 0));  // open the first app's folder
        Settle();
        list.setCurrentIndex(scan.listProxy().index(0, 0));
      }
      if (scrivel::IsFileCategory(kind)) {
        QSignalSpy shown(&window.previewPane(), &CPreviewVrtWnd::mediaShown);
        shown.wait(3000);
      }
    }
    Settle();
    const std::string_view name = scrivel::CategoryCliName(kind);
    saved = Save(context, QStringLiteral("results-") + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                 RenderOnBackdrop(window)) && saved;
  }

  // The first HEIC picture of the camera roll, when the sample has one
  // (the current generations do), decoded in the preview.
  scan.tree().setCurrentItem(scan.categoryNode(CategoryKind::kCameraRoll));
  Settle();
  for (int row = 0; row < scan.listProxy().rowCount(); ++row) {
    const QModelIndex index = scan.listProxy().index(row, 0);
    const auto* file = scan.listModel().RecordAt<scrivel::FileItem>(scan.listProxy().mapToSource(index).row());
    if (file == nullptr || !file->name.ends_with(".HEIC")) continue;
    QSignalSpy shown(&window.previewPane(), &CPreviewVrtWnd::mediaShown);
    scan.listView().setCurrentIndex(index);
    shown.wait(3000);
    Settle();
    saved = Save(context, QStringLiteral("results-camera-roll-heic"), RenderOnBackdrop(window)) && saved;
    break;
  }

  // Messages: deleted only, then a search.
  scan.tree().setCurrentItem(scan.categoryNode(CategoryKind::kMessages));
  scan.filterOption().setChecked(true);
  Settle();
  saved = Save(context, QStringLiteral("results-messages-deleted-only"), RenderOnBackdrop(window)) && saved;
  scan.filterOption().setChecked(false);
  if (scan.listModel().rowCount() > 0) {
    const auto* row = scan.listModel().RecordAt<MessageItem>(0);
    const QString word = QString::fromStdString(row->name.empty() ? row->address : row->name).section(QLatin1Char(' '), 0, 0);
    scan.searchBox().setText(word);
    emit scan.searchBox().returnPressed();
    Settle();
    saved = Save(context, QStringLiteral("results-messages-search"), RenderOnBackdrop(window)) && saved;
    scan.searchBox().clear();
    emit scan.searchBox().returnPressed();
  }

  // The export window at its end, writing every checked item into a temporary folder.
  if (scan.source() != nullptr) {
    QTemporaryDir out;
    CRecoverProcessWnd exportWindow(scan.data(), *scan.source(), scan.backup().displayName, out.path());
    exportWindow.Create(&window, 620, 300);
    exportWindow.show();
    (void)QTest::qWaitFor([&] { return exportWindow.finished(); }, 60000);
    Settle();
    saved = Save(context, QStringLiteral("export-window"), RenderOnBackdrop(exportWindow)) && saved;
    exportWindow.hide();
  }

  // The print preview of the checked contacts.
  {
    CPrintWnd print(scan.data(), CategoryKind::kContacts, false, window.engine().WorkFolder().string());
    print.Create(&window, 800, 600);
    print.show();
    (void)QTest::qWaitFor([&] { return print.pageReady(); }, 30000);
    Settle();
    saved = Save(context, QStringLiteral("print-preview"), RenderOnBackdrop(print)) && saved;
    print.hide();
  }
  window.hide();
  return saved;
}

// The device page as the first listing of the device watch leaves it (the
// multiplexer is whatever USBMUXD_SOCKET_ADDRESS names), as "device-NAME".
bool ShootDevicePage(const ShotContext& context, const QString& name) {
  constexpr int kListingTimeoutMs = 15000;
  CMainWnd window;
  QSignalSpy listed(&window.devicePage(), &CIosDeviceVrtWnd::listingShown);
  window.show();
  window.skin().optIosDevice->click();
  if (!QTest::qWaitFor([&] { return listed.count() > 0; }, kListingTimeoutMs)) {
    std::cerr << "the device page got no listing\n";
    return false;
  }
  Settle();
  const bool saved = Save(context, QStringLiteral("device-") + name, RenderOnBackdrop(window));
  window.hide();
  return saved;
}

constexpr char kUsage[] =
    "usage: scrivel-screenshot OUT_DIR [SUFFIX]\n"
    "       scrivel-screenshot --device-page NAME OUT_DIR [SUFFIX]\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::cout << kUsage
              << "Renders every window of the application to OUT_DIR/NAME[SUFFIX].png. The backup\n"
                 "and result shots read the backups of $XDG_DATA_HOME (see scripts/screenshot.sh).\n"
                 "--device-page renders only the device page, once it has listed the devices of the\n"
                 "multiplexer that USBMUXD_SOCKET_ADDRESS names, to OUT_DIR/device-NAME[SUFFIX].png.\n";
    return 0;
  }
  ChooseMediaBackend();
  QApplication app(argc, argv);
  QString devicePage;
  int first = 1;  // the first positional argument
  if (argc > 2 && std::string_view(argv[1]) == "--device-page") {
    devicePage = QString::fromLocal8Bit(argv[2]);
    first = 3;
  }
  if (argc <= first) {
    std::cerr << kUsage;
    return 2;
  }
  InstallApplicationLook(app);
  ShotContext context{QDir(QString::fromLocal8Bit(argv[first])),
                      argc > first + 1 ? QString::fromLocal8Bit(argv[first + 1]) : QString()};
  if (!context.outDir.mkpath(QStringLiteral("."))) {
    std::cerr << "cannot create " << argv[first] << "\n";
    return 1;
  }
  if (!devicePage.isEmpty()) return ShootDevicePage(context, devicePage) ? 0 : 1;
  const std::vector<std::function<bool(const ShotContext&)>> shots{ShootMainWindow, ShootMessageBoxes,
                                                                   ShootEmptyBackupPage, ShootScanAndResults};
  bool ok = true;
  for (const auto& shoot : shots) ok = shoot(context) && ok;
  return ok ? 0 : 1;
}
