#include "gui/app/application.h"

#include <QApplication>
#include <optional>

#include "core/common/language_strings.h"
#include "gui/app/exit_cleanup.h"
#include "gui/app/main_wnd.h"
#include "gui/app/single_instance.h"
#include "gui/dialogs/message_box.h"
#include "gui/skin/application_look.h"

namespace scrivel::gui {

namespace {

constexpr int kRunningBoxWidth = 350;
constexpr int kRunningBoxHeight = 150;

}  // namespace

int RunApplication(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Scrivel"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(kMainWindowTitle));
  QApplication::setApplicationVersion(QStringLiteral(SCRIVEL_VERSION));
  InstallApplicationLook(app);

  CSingleInstance instance(CSingleInstance::DefaultServerName());
  switch (instance.ClaimOrNotify()) {
    case CSingleInstance::Claim::kOtherShowedWindow:
      return 0;
    case CSingleInstance::Claim::kOtherHasNoWindow:
      ShowMessageBox(nullptr, kMessageInformation, std::nullopt, QStringLiteral("Vantoric Scrivel for iOS is running."),
                     kRunningBoxWidth, kRunningBoxHeight);
      return 0;
    case CSingleInstance::Claim::kFirst:
      break;
  }

  CLanguageStrings::Instance();  // loads config.ini and the language file
  {
    CMainWnd mainWnd;
    mainWnd.CentreOnScreen();
    mainWnd.show();
    mainWnd.activateWindow();
    instance.SetWindow(&mainWnd);
    app.exec();
    instance.SetWindow(nullptr);
  }
  DeletePreviewFiles(WorkFolder());
  return 0;
}

}  // namespace scrivel::gui
