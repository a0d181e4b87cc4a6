#include "gui/pages/ios_device_vrt_wnd.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include "core/common/language_strings.h"
#include "core/device/device_error.h"
#include "gui/app/core_result.h"
#include "gui/app/main_wnd.h"
#include "gui/dialogs/decryption_wnd.h"
#include "gui/dialogs/message_box.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

namespace {

constexpr int kFailureBoxWidth = 600;
constexpr int kFailureBoxHeight = 200;
constexpr int kIconSize = 64;

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// "iPhone · iOS 17.4.1"; an iPad from version 13 on runs iPadOS.
QString ClassAndVersion(const device::DeviceInfo& info) {
  const QString deviceClass = info.deviceClass.empty() ? QStringLiteral("Device") : Utf8(info.deviceClass);
  if (info.productVersion.empty()) return deviceClass;
  const int major = Utf8(info.productVersion).section(QLatin1Char('.'), 0, 0).toInt();
  const QString system = info.deviceClass == "iPad" && major >= 13 ? QStringLiteral("iPadOS") : QStringLiteral("iOS");
  return QStringLiteral("%1 · %2 %3").arg(deviceClass, system, Utf8(info.productVersion));
}

QString DeviceName(const device::DeviceInfo& info) {
  return info.deviceName.empty() ? Utf8(info.udid) : Utf8(info.deviceName);
}

CIosDeviceVrtWnd::State StateOf(const device::ListedDevice& listed) {
  using State = CIosDeviceVrtWnd::State;
  if (!listed.state) return State::kConnected;
  if (listed.state == device::DeviceError::kTrustNeeded) return State::kTrustNeeded;
  if (listed.state == device::DeviceError::kPasscodeLocked) return State::kUnlockNeeded;
  if (listed.state == device::DeviceError::kPairingRefused) return State::kTrustRefused;
  return State::kUnreadable;
}

}  // namespace

CIosDeviceVrtWnd::CIosDeviceVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage)
    : m_mainWnd(mainWnd), m_scanPage(scanPage) {}

CIosDeviceVrtWnd::~CIosDeviceVrtWnd() = default;

void CIosDeviceVrtWnd::Init(QWidget* page) {
  m_page = page;
  BuildPage();
  ApplyTexts();
  // The watch's listings come back to this object's thread as queued calls;
  // a call still queued when this object goes is dropped with it.
  m_watch = std::make_unique<device::DeviceWatch>([this](const device::DeviceListing& listing) {
    QMetaObject::invokeMethod(this, [this, listing] { ShowListing(listing); }, Qt::QueuedConnection);
  });
  m_page->installEventFilter(this);
  connect(&m_scanPage, &CScanVrtWnd::scanEnded, this, [this] { UpdateWatch(); });
  UpdateWatch();
}

void CIosDeviceVrtWnd::BuildPage() {
  m_icon = new QLabel(m_page);
  m_icon->setObjectName(QStringLiteral("DeviceIcon"));
  m_icon->setAlignment(Qt::AlignCenter);
  m_heading = new QLabel(m_page);
  m_heading->setObjectName(QStringLiteral("LblDeviceHeading"));
  m_heading->setAlignment(Qt::AlignCenter);
  m_heading->setWordWrap(true);
  QFont font = m_heading->font();
  font.setPointSizeF(font.pointSizeF() * 1.3);
  font.setBold(true);
  m_heading->setFont(font);
  m_detail = new QLabel(m_page);
  m_detail->setObjectName(QStringLiteral("LblDeviceDetail"));
  m_detail->setAlignment(Qt::AlignCenter);
  m_detail->setWordWrap(true);
  m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_note = new QLabel(m_page);
  m_note->setObjectName(QStringLiteral("LblDeviceNote"));
  m_note->setAlignment(Qt::AlignCenter);
  m_note->setWordWrap(true);
  m_note->setProperty("role", QStringLiteral("muted"));

  // The connection hints of the language file, shown while no device is there.
  m_help = new QWidget(m_page);
  auto* helpLayout = new QVBoxLayout(m_help);
  helpLayout->setContentsMargins(0, 0, 0, 0);
  for (const char* name : {"LblDesc1", "LblDesc2", "LblDesc3"}) {
    auto* line = new QLabel(m_help);
    line->setObjectName(QLatin1String(name));
    line->setAlignment(Qt::AlignCenter);
    line->setWordWrap(true);
    line->setProperty("role", QStringLiteral("muted"));
    helpLayout->addWidget(line);
  }

  m_deviceChoice = new QComboBox(m_page);
  m_deviceChoice->setObjectName(QStringLiteral("CmbDevice"));
  m_deviceChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  m_btnScan = new QPushButton(tr("Start Scan"), m_page);
  m_btnScan->setObjectName(QStringLiteral("BtnDeviceScan"));
  m_btnScan->setProperty("accent", true);
  auto* choiceRow = new QHBoxLayout;
  choiceRow->addStretch(1);
  choiceRow->addWidget(m_deviceChoice);
  choiceRow->addStretch(1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_btnScan);
  buttonRow->addStretch(1);

  auto* layout = new QVBoxLayout(m_page);
  layout->setContentsMargins(48, 24, 48, 24);
  layout->addStretch(1);
  layout->addWidget(m_icon);
  layout->addSpacing(4);
  layout->addWidget(m_heading);
  layout->addWidget(m_detail);
  layout->addSpacing(8);
  layout->addLayout(choiceRow);
  layout->addWidget(m_help);
  layout->addWidget(m_note);
  layout->addSpacing(12);
  layout->addLayout(buttonRow);
  layout->addStretch(2);

  connect(m_btnScan, &QPushButton::clicked, this, &CIosDeviceVrtWnd::StartScan);
  connect(m_deviceChoice, &QComboBox::activated, this, [this](int index) {
    m_chosenUdid = m_deviceChoice->itemData(index).toString().toStdString();
    ShowState();
  });
  ShowState();
}

void CIosDeviceVrtWnd::ApplyTexts() {
  ApplyWindowTexts(m_page, "PageIosDevice");
  ShowState();  // the state's own texts over whatever the language file set
}

void CIosDeviceVrtWnd::ShowListing(const device::DeviceListing& listing) {
  m_listing = listing;
  FillDeviceChoice();
  ShowState();
  emit listingShown();
}

const device::ListedDevice* CIosDeviceVrtWnd::shownDevice() const {
  const std::vector<device::ListedDevice>& devices = m_listing.devices;
  if (devices.empty()) return nullptr;
  const auto chosen = std::find_if(devices.begin(), devices.end(),
                                   [this](const device::ListedDevice& d) { return d.info.udid == m_chosenUdid; });
  return chosen != devices.end() ? &*chosen : &devices.front();
}

void CIosDeviceVrtWnd::FillDeviceChoice() {
  const QSignalBlocker block(m_deviceChoice);
  m_deviceChoice->clear();
  for (const device::ListedDevice& listed : m_listing.devices) {
    m_deviceChoice->addItem(QStringLiteral("%1 (%2)").arg(DeviceName(listed.info), ClassAndVersion(listed.info)),
                            Utf8(listed.info.udid));
  }
  const device::ListedDevice* shown = shownDevice();
  if (shown != nullptr) m_deviceChoice->setCurrentIndex(m_deviceChoice->findData(Utf8(shown->info.udid)));
}

void CIosDeviceVrtWnd::ShowState() {
  if (m_heading == nullptr) return;
  const device::ListedDevice* shown = shownDevice();
  if (m_listing.status) {
    m_state = State::kSupportMissing;
  } else if (shown == nullptr) {
    m_state = State::kWaiting;
  } else {
    m_state = StateOf(*shown);
  }

  QString heading;
  QString detail;
  QString note;
  switch (m_state) {
    case State::kSupportMissing:
      heading = tr("Device support is missing");
      detail = tr("Scrivel reaches a connected iPhone, iPad or iPod touch through the USB multiplexing daemon "
                  "(usbmuxd), which is not running on this computer.");
      note = tr("Install the usbmuxd package of your distribution (on Debian and Ubuntu: sudo apt install "
                "usbmuxd), then connect the device again.\nMeanwhile, \"Recover from Backup\" above scans a "
                "backup of the device.");
      break;
    case State::kWaiting:
      heading = tr("Waiting for a device…");
      break;
    case State::kTrustNeeded:
      heading = tr("Trust this computer on the device");
      detail = tr("%1 asks whether to trust this computer. Unlock it, tap Trust and enter its passcode.")
                   .arg(DeviceName(shown->info));
      note = tr("This page goes on by itself once the device trusts this computer.");
      break;
    case State::kUnlockNeeded:
      heading = tr("Unlock the device");
      detail = tr("%1 is locked with its passcode. Unlock it so that this computer can read it.")
                   .arg(DeviceName(shown->info));
      note = tr("This page goes on by itself once the device is unlocked.");
      break;
    case State::kTrustRefused:
      heading = tr("The device does not trust this computer");
      detail = tr("Trust was declined on %1. Unplug it, connect it again and tap Trust when it asks.")
                   .arg(DeviceName(shown->info));
      break;
    case State::kUnreadable:
      heading = tr("The device cannot be read");
      detail = CoreResultText(shown->state);
      break;
    case State::kConnected:
      heading = DeviceName(shown->info);
      detail = ClassAndVersion(shown->info);
      note = tr("Start Scan backs the device up into a temporary folder on this computer and reads that copy. "
                "Nothing on the device is changed.");
      if (shown->info.willEncrypt) {
        note += QLatin1Char('\n') + tr("This device encrypts its backups: you will be asked for its backup password.");
      }
      break;
  }
  m_heading->setText(heading);
  m_detail->setText(detail);
  m_detail->setVisible(!detail.isEmpty());
  m_note->setText(note);
  m_note->setVisible(!note.isEmpty());
  m_help->setVisible(m_state == State::kWaiting);
  m_deviceChoice->setVisible(m_listing.devices.size() > 1);
  m_btnScan->setVisible(m_state == State::kConnected);
  m_btnScan->setEnabled(m_state == State::kConnected && !m_askingPassword && !m_scanPage.scanRunning());
  m_icon->setPixmap(QIcon(QStringLiteral(":/skins/icons/device.svg")).pixmap(QSize(kIconSize, kIconSize),
                                                                              m_page->devicePixelRatioF()));
  m_icon->setEnabled(m_state == State::kConnected);
}

void CIosDeviceVrtWnd::UpdateWatch() {
  if (m_watch == nullptr) return;
  m_watch->SetActive(m_page->isVisible() && !m_askingPassword && !m_scanPage.scanRunning());
  ShowState();
}

bool CIosDeviceVrtWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_page && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
    // Hide arrives before the page stops counting as visible; ask after it.
    QMetaObject::invokeMethod(this, [this] { UpdateWatch(); }, Qt::QueuedConnection);
  }
  return QObject::eventFilter(watched, event);
}

void CIosDeviceVrtWnd::StartScan() {
  const device::ListedDevice* shown = shownDevice();
  if (shown == nullptr || shown->state || m_askingPassword || m_scanPage.scanRunning()) return;
  // A copy: listings that arrive while the password window is open replace m_listing.
  const device::DeviceInfo info = shown->info;
  if (info.willEncrypt) {
    m_askingPassword = true;
    UpdateWatch();  // the backup has the device to itself
    CDecryptionWnd window(m_scanPage, info);
    window.Create(&m_mainWnd, 560, 270);
    const int answer = window.ShowModal();
    m_askingPassword = false;
    UpdateWatch();
    if (answer == CSkinDialog::kResultOk) m_mainWnd.ShowScanPage();
    return;
  }
  m_scanPage.SetDevice(info, {});
  m_scanPage.StartScan(CScanVrtWnd::kSourceDevice);
  UpdateWatch();  // paused while the scan runs: the backup has the device to itself
  if (m_scanPage.scanRunning()) m_mainWnd.ShowScanPage();
}

void CIosDeviceVrtWnd::OnScanStarted() { m_mainWnd.ShowScanPage(); }

void CIosDeviceVrtWnd::ShowOpenFailure() {
  QString text = QString::fromStdString(CLanguageStrings::Instance().Message("MSG0201"));
  text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
  ShowMessageBox(&m_mainWnd, kMessageError, std::nullopt, text, kFailureBoxWidth, kFailureBoxHeight);
}

}  // namespace scrivel::gui
