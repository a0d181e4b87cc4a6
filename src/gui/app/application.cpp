#include "gui/app/application.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "core/common/language_strings.h"
#include "gui/app/command_line.h"
#include "gui/app/exit_cleanup.h"
#include "gui/app/main_wnd.h"
#include "gui/app/media_backend.h"
#include "gui/app/single_instance.h"
#include "gui/dialogs/message_box.h"
#include "gui/skin/application_look.h"

namespace scrivel::gui {

namespace {

constexpr int kRunningBoxWidth = 350;
constexpr int kRunningBoxHeight = 150;

}  // namespace

int RunApplication(int argc, char** argv) {
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (line.action) {
    case CommandLine::Action::kHelp:
      std::fputs(CommandLineHelp().c_str(), stdout);
      return 0;
    case CommandLine::Action::kVersion:
      std::printf("scrivel %s\n", SCRIVEL_VERSION);
      return 0;
    case CommandLine::Action::kError:
      std::fprintf(stderr, "scrivel: %s\n%s", line.error.c_str(), CommandLineHelp().c_str());
      return 1;
    case CommandLine::Action::kRun:
      break;
  }
  ChooseMediaBackend();
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
    if (!line.backupFolder.isEmpty()) {
      QTimer::singleShot(0, &mainWnd, [&mainWnd, &line] { mainWnd.OpenBackupFolder(line.backupFolder, line.scan); });
    }
    app.exec();
    instance.SetWindow(nullptr);
  }
  DeletePreviewFiles(WorkFolder());
  return 0;
}

}  // namespace scrivel::gui
