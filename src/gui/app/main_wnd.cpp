#include "gui/app/main_wnd.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "core/backup/backup_locations.h"
#include "core/common/app_directory.h"
#include "core/common/language_strings.h"
#include "gui/app/assist_menu.h"
#include "gui/controls/source_option_ui.h"
#include "gui/controls/text_ui.h"
#include "gui/skin/caption_dragger.h"
#include "gui/skin/resize_grips.h"
#include "gui/skin/skin_colors.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

namespace {

constexpr int kShadowSize = 4;
constexpr int kShadowDarkness = 120;
constexpr QRgb kShadowColor = qRgb(45, 45, 45);

constexpr int kMainTabSources = 0;
constexpr int kMainTabScan = 1;
constexpr int kTabDevice = 0;
constexpr int kTabBackup = 1;

// The application-data folder of this user; the system's temporary folder
// when the environment names none.
std::filesystem::path AppDataFolder() {
  std::filesystem::path folder = DefaultAppDataFolder();
  if (folder.empty()) folder = std::filesystem::path(QDir::tempPath().toStdString());
  return folder;
}

// The folder a drag carries, when it carries exactly one local folder.
QString DroppedFolder(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return {};
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile()) return {};
  const QFileInfo info(url.toLocalFile());
  return info.isDir() ? info.absoluteFilePath() : QString();
}

bool IsSwallowedKey(const QKeyEvent& event) {
  const int key = event.key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

}  // namespace

CMainWnd::CMainWnd(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint),
      m_engine(std::make_unique<BackupEngine>(AppDataFolder(), BackupsRootIn(AppDataFolder()))),
      m_previewPane(*this),
      m_scanPage(*this, m_previewPane),
      m_devicePage(*this, m_scanPage),
      m_backupPage(*this, m_scanPage) {
  setObjectName(QStringLiteral("FileRecoveryWnd"));
  setWindowTitle(QString::fromUtf8(kMainWindowTitle));
  setWindowIcon(QIcon(QStringLiteral(":/skins/icons/app.svg")));
  setAttribute(Qt::WA_TranslucentBackground);  // the shadow margin around the frame
  setAcceptDrops(true);                        // a backup folder dropped on the window opens it

  auto* frame = new QWidget(this);
  m_skin = BuildMainWndSkin(frame);
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(0);
  layout->addWidget(frame);

  m_captionDragger = new CCaptionDragger(frame, kMainCaptionHeight, true);
  m_resizeGrips = new CResizeGrips(frame, kMainResizeBorder);
  m_assistMenu = new CAssistMenu(*this, LoadWebAddresses(GetAppDirectory()));

  connect(m_skin.minButton, &QPushButton::clicked, this, &QWidget::showMinimized);
  connect(m_skin.maxButton, &QPushButton::clicked, this, &QWidget::showMaximized);
  connect(m_skin.restoreButton, &QPushButton::clicked, this, &QWidget::showNormal);
  connect(m_skin.closeButton, &QPushButton::clicked, this, &QWidget::close);
  connect(m_skin.assistButton, &QPushButton::clicked, this, &CMainWnd::OpenAssistMenu);
  connect(m_skin.actionGroup, &QButtonGroup::buttonToggled, this, [this](QAbstractButton* option, bool checked) {
    if (checked) OnSourceSelected(option);
  });
  // Window managers close on Alt+F4 themselves; the shortcut covers those
  // that do not. Both arrive at closeEvent.
  auto* closeShortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
  connect(closeShortcut, &QShortcut::activated, this, &QWidget::close);

  qApp->installEventFilter(this);

  ApplyMainTexts();
  m_shadow.Create(this, QSize(kMainCornerSize, kMainCornerSize));
  m_shadow.SetSize(kShadowSize);
  m_shadow.SetPosition(0, 0);
  m_shadow.SetDarkness(kShadowDarkness);
  m_shadow.SetColor(kShadowColor);
  connect(&m_shadow, &CWndShadow::changed, this, &CMainWnd::SyncWindowState);
  SyncWindowState();

  m_previewPane.Init(m_skin.previewArea);  // first: the scan page resets it
  m_devicePage.Init(m_skin.pageIosDevice);
  m_backupPage.Init(m_skin.pageItunesBackup);
  m_scanPage.Init(m_skin.pageScan);

  OnSourceSelected(m_skin.optIosDevice);
  m_skin.mainTabPage->setCurrentIndex(kMainTabSources);
  resize(minimumSizeHint().expandedTo(sizeHint()));
}

CMainWnd::~CMainWnd() { qApp->removeEventFilter(this); }

void CMainWnd::ApplyMainTexts() {
  ApplyWindowTexts(this, "MainWnd");
  // The product name comes from the messages; the skin's text stays when the
  // language file has none.
  const std::string& productName = CLanguageStrings::Instance().Message("MSG1209");
  if (!productName.empty()) m_skin.productName->setText(QString::fromStdString(productName));
}

void CMainWnd::PostPreviewReady() {
  QMetaObject::invokeMethod(this, [this] { m_previewPane.OnPreviewReady(); }, Qt::QueuedConnection);
}

void CMainWnd::PostLanguageChanged() {
  QMetaObject::invokeMethod(this, [this] { OnLanguageChanged(); }, Qt::QueuedConnection);
}

void CMainWnd::PostStartScan(int sourceKind) {
  QMetaObject::invokeMethod(this, [this, sourceKind] { m_scanPage.StartScan(sourceKind); }, Qt::QueuedConnection);
}

void CMainWnd::PostScanSourceOpened() {
  QMetaObject::invokeMethod(this, [this] { m_scanPage.OnScanSourceOpened(); }, Qt::QueuedConnection);
}

void CMainWnd::PostSelectFirstResult() {
  QMetaObject::invokeMethod(this, [this] { m_scanPage.OnSelectFirstResult(); }, Qt::QueuedConnection);
}

void CMainWnd::PostScanFinished() {
  QMetaObject::invokeMethod(this, [this] { m_scanPage.OnScanFinished(); }, Qt::QueuedConnection);
}

void CMainWnd::PostSourceEvent(int code) {
  QMetaObject::invokeMethod(this, [this, code] { OnSourceEvent(code); }, Qt::QueuedConnection);
}

void CMainWnd::OnLanguageChanged() {
  ApplyMainTexts();
  m_devicePage.ApplyTexts();
  m_backupPage.ApplyTexts();
  m_scanPage.ApplyTexts();
  m_previewPane.ApplyTexts();
}

void CMainWnd::OnSourceEvent(int code) {
  const bool deviceScan = m_scanPage.sourceKind() == CScanVrtWnd::kSourceDevice;
  switch (code) {
    case kSourceOpened:
      if (deviceScan) {
        m_devicePage.OnScanStarted();
      } else {
        m_backupPage.OnScanStarted();
      }
      break;
    case kSourceWrongPassword:
      if (!deviceScan) m_backupPage.OnWrongPassword();
      break;
    case kSourceFailed:
      m_devicePage.ShowOpenFailure();  // whatever the source: the device page's failure box
      break;
    default:
      break;
  }
}

void CMainWnd::ShowScanPage() { m_skin.mainTabPage->setCurrentIndex(kMainTabScan); }

void CMainWnd::ShowSourcePage() { m_skin.mainTabPage->setCurrentIndex(kMainTabSources); }

void CMainWnd::CentreOnScreen() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void CMainWnd::OpenBackupFolder(const QString& folder, bool scan) {
  m_skin.optBackupFile->setChecked(true);
  OnSourceSelected(m_skin.optBackupFile);
  ShowSourcePage();
  m_backupPage.OpenFolder(folder, scan);
}

void CMainWnd::dragEnterEvent(QDragEnterEvent* event) {
  // Only on the source pages: a scan in progress is not replaced by a drop.
  if (m_skin.mainTabPage->currentIndex() == kMainTabSources && !DroppedFolder(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void CMainWnd::dropEvent(QDropEvent* event) {
  const QString folder = DroppedFolder(event->mimeData());
  if (folder.isEmpty()) return;
  event->acceptProposedAction();
  // After the drop has ended, so that the backup's questions are not asked
  // inside the drag.
  QMetaObject::invokeMethod(this, [this, folder] { OpenBackupFolder(folder, false); }, Qt::QueuedConnection);
}

void CMainWnd::OnSourceSelected(QAbstractButton* option) {
  const bool device = option == m_skin.optIosDevice;
  const QColor deviceText = QColor::fromRgba(device ? kSelectedOptionTextColor : kUnselectedOptionTextColor);
  const QColor backupText = QColor::fromRgba(device ? kUnselectedOptionTextColor : kSelectedOptionTextColor);
  m_skin.txtIosDevice1->setTextColor(deviceText);
  m_skin.txtIosDevice2->setTextColor(deviceText);
  m_skin.txtBackupFile1->setTextColor(backupText);
  m_skin.txtBackupFile2->setTextColor(backupText);
  m_skin.tabPage->setCurrentIndex(device ? kTabDevice : kTabBackup);
}

void CMainWnd::OpenAssistMenu() {
  m_assistMenu->popup(m_skin.assistButton->mapToGlobal(m_skin.assistButton->rect().bottomLeft()));
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
  // Enter and Escape do nothing anywhere in this window: neither closes it
  // nor reaches a control, except Enter in the controls that ask for it.
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // The data list and the search box use Enter (open the row, search now).
    const bool takesEnter = widget != nullptr && widget->property("takesEnter").toBool() &&
                            static_cast<const QKeyEvent&>(*event).key() != Qt::Key_Escape;
    if (widget != nullptr && !takesEnter && widget->window() == this &&
        IsSwallowedKey(static_cast<const QKeyEvent&>(*event))) {
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CMainWnd::closeEvent(QCloseEvent* event) {
  if (m_scanPage.ConfirmLeave() == CScanVrtWnd::kStay) {
    event->ignore();
    return;
  }
  event->accept();
}

void CMainWnd::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) SyncWindowState();
  QWidget::changeEvent(event);
}

void CMainWnd::SyncWindowState() {
  const bool maximised = isMaximized();
  m_skin.maxButton->setVisible(!maximised);
  m_skin.restoreButton->setVisible(maximised);
  m_resizeGrips->setActive(!maximised);
  // The shadow's room stays reserved while the window is hidden, so that
  // showing it does not change the frame's size.
  layout()->setContentsMargins(maximised ? QMargins() : m_shadow.margins());
  update();
}

void CMainWnd::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  m_shadow.Paint(painter, m_skin.frame->geometry());
}

}  // namespace scrivel::gui
