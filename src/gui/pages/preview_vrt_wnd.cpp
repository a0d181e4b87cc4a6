#include "gui/pages/preview_vrt_wnd.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QListView>
#include <QMediaPlayer>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

#include "core/backup/backup_engine.h"
#include "core/common/format.h"
#include "core/recovery/file_copy.h"
#include "core/recovery/heif_picture.h"
#include "core/apps/call_history.h"
#include "gui/app/core_result.h"
#include "gui/app/main_wnd.h"
#include "gui/models/bubble_delegate.h"
#include "gui/models/chat_model.h"
#include "gui/skin/skin_colors.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

namespace {

constexpr int kLargestPictureSide = 2048;  // pictures are scaled to at most this many pixels a side

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString Html(const std::string& text) { return Utf8(text).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")); }

QString ColourName(bool deleted) {
  return QColor::fromRgba(deleted ? kDeletedRecordColor : 0xFF404040).name();
}

QString TimeText(qint64 ms) {
  const qint64 seconds = ms / 1000;
  return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

enum class MediaKind { kNone, kPicture, kSound, kVideo };

MediaKind KindOfCopy(const std::string& tempPath) {
  const auto dot = tempPath.rfind('.');
  if (dot == std::string::npos) return MediaKind::kNone;
  const std::string extension = tempPath.substr(dot + 1);
  if (extension == "jpg") return MediaKind::kPicture;
  if (extension == "wav") return MediaKind::kSound;
  if (extension == "avi") return MediaKind::kVideo;
  return MediaKind::kNone;
}

// Decodes a picture at no more than `side` pixels on its longer side; the
// reader scales while it decodes where the format allows it.
QImage ReadScaledPicture(const QString& path, int side) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > side || size.height() > side)) {
    reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
  }
  return reader.read();
}

// HEIF pictures (an iPhone's HEIC photos, AVIF) have no Qt image reader
// here; the core decodes them, already scaled to `side`.
QImage ReadHeifPicture(const std::string& path, int side) {
  DecodedPicture decoded;
  if (DecodeHeifPicture(path, side, &decoded)) return {};
  const QImage view(decoded.rgba.data(), decoded.width, decoded.height, decoded.width * 4, QImage::Format_RGBA8888);
  return view.copy();  // the view borrows `decoded`; the copy owns its pixels
}

// What the tooltip of a shown camera-roll picture adds to its name: the
// Live Photo movie recovered with it, the name it came in with, Recently
// Deleted.
QString FileDetails(const FileItem& file) {
  QString details = Utf8(file.name);
  if (!file.originalName.empty() && file.originalName != file.name) {
    details += QCoreApplication::translate("CPreviewVrtWnd", "\nOriginal name: %1").arg(Utf8(file.originalName));
  }
  if (!file.created.empty()) {
    details += QCoreApplication::translate("CPreviewVrtWnd", "\nTaken: %1").arg(Utf8(file.created));
  }
  if (file.pairedVideo) {
    details += QCoreApplication::translate("CPreviewVrtWnd", "\nLive Photo: its movie %1 is recovered with it.")
                   .arg(Utf8(file.pairedVideo->name));
  }
  if (file.deleted) {
    details += file.trashed.empty()
                   ? QCoreApplication::translate("CPreviewVrtWnd", "\nIn Recently Deleted.")
                   : QCoreApplication::translate("CPreviewVrtWnd", "\nMoved to Recently Deleted on %1.").arg(Utf8(file.trashed));
  }
  return details;
}

}  // namespace

CPreviewVrtWnd::CPreviewVrtWnd(CMainWnd& mainWnd) : m_mainWnd(mainWnd) {}

CPreviewVrtWnd::~CPreviewVrtWnd() { CancelWork(); }

void CPreviewVrtWnd::Init(QWidget* area) {
  m_area = area;
  m_stack = new QStackedWidget(area);
  m_stack->setObjectName(QStringLiteral("PreviewStack"));

  m_hint = new QLabel(m_stack);
  m_hint->setObjectName(QStringLiteral("LblPreviewHint"));
  m_hint->setAlignment(Qt::AlignCenter);
  m_hint->setWordWrap(true);
  m_hint->setProperty("role", QStringLiteral("muted"));

  m_bubbles = new QListView(m_stack);
  m_bubbles->setObjectName(QStringLiteral("MessagesList"));
  m_chatModel = new CChatModel(this);
  m_bubbles->setModel(m_chatModel);
  m_bubbles->setItemDelegate(new CBubbleDelegate(m_bubbles));
  m_bubbles->setResizeMode(QListView::Adjust);
  m_bubbles->setLayoutMode(QListView::Batched);
  m_bubbles->setBatchSize(200);
  m_bubbles->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  m_bubbles->setSelectionMode(QAbstractItemView::NoSelection);
  m_bubbles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_bubbles->setFocusPolicy(Qt::NoFocus);

  m_card = new QWidget(m_stack);
  m_card->setObjectName(QStringLiteral("ContactInfo"));
  m_cardName = new QLabel(m_card);
  m_cardName->setObjectName(QStringLiteral("TxtUserName"));
  m_cardName->setWordWrap(true);
  QFont nameFont = m_cardName->font();
  nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
  nameFont.setBold(true);
  m_cardName->setFont(nameFont);
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
  for (const auto& [labelName, valueName, text] :
       std::vector<std::tuple<const char*, const char*, const char*>>{{"LblPhoneDesc", "TxtPhone", "Phone"},
                                                                      {"LblEmailDesc", "TxtEmail", "E-mail"},
                                                                      {"LblAddressDesc", "TxtAddress", "Address"},
                                                                      {"LblUrlDesc", "TxtUrl", "Web page"},
                                                                      {"LblSocialDesc", "TxtSocial", "Social profile"},
                                                                      {"LblCompanyDesc", "TxtCompany", "Company"}}) {
    auto* label = new QLabel(QLatin1String(text), m_card);
    label->setObjectName(QLatin1String(labelName));
    label->setProperty("role", QStringLiteral("muted"));
    auto* value = new QLabel(m_card);
    value->setObjectName(QLatin1String(valueName));
    value->setWordWrap(true);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(label, value);
    m_cardRows.emplace_back(label, value);
  }
  auto* cardLayout = new QVBoxLayout(m_card);
  cardLayout->setContentsMargins(16, 16, 16, 16);
  cardLayout->addWidget(m_cardName);
  cardLayout->addSpacing(10);
  cardLayout->addLayout(form);
  cardLayout->addStretch(1);

  m_text = new QTextBrowser(m_stack);
  m_text->setObjectName(QStringLiteral("PreviewEdit"));
  m_text->setOpenLinks(false);

  m_picture = new QLabel(m_stack);
  m_picture->setObjectName(QStringLiteral("PreviewPicture"));
  m_picture->setAlignment(Qt::AlignCenter);
  m_picture->setMinimumSize(1, 1);
  m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);

  m_mediaPage = new QWidget(m_stack);
  m_mediaPage->setObjectName(QStringLiteral("MediaPreview"));
  m_mediaName = new QLabel(m_mediaPage);
  m_mediaName->setObjectName(QStringLiteral("LblFileName"));
  m_mediaName->setWordWrap(true);
  m_copyProgress = new QProgressBar(m_mediaPage);
  m_copyProgress->setObjectName(QStringLiteral("Progress"));
  m_copyProgress->setRange(0, 100);
  m_video = new QVideoWidget(m_mediaPage);
  m_video->setObjectName(QStringLiteral("VideoView"));
  m_video->setMinimumHeight(160);
  m_playButton = new QPushButton(QStringLiteral("Play"), m_mediaPage);
  m_playButton->setObjectName(QStringLiteral("BtnPlay"));
  m_position = new QSlider(Qt::Horizontal, m_mediaPage);
  m_position->setObjectName(QStringLiteral("SliderPosition"));
  m_time = new QLabel(QStringLiteral("0:00 / 0:00"), m_mediaPage);
  m_time->setObjectName(QStringLiteral("LblTime"));
  auto* controls = new QHBoxLayout;
  controls->addWidget(m_playButton);
  controls->addWidget(m_position, 1);
  controls->addWidget(m_time);
  auto* mediaLayout = new QVBoxLayout(m_mediaPage);
  mediaLayout->setContentsMargins(8, 8, 8, 8);
  mediaLayout->addWidget(m_mediaName);
  mediaLayout->addWidget(m_copyProgress);
  mediaLayout->addWidget(m_video, 1);
  mediaLayout->addLayout(controls);
  connect(m_playButton, &QPushButton::clicked, this, [this] {
    if (m_player == nullptr) return;
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
      m_player->pause();
    } else {
      m_player->play();
    }
  });
  m_copyTicker = new QTimer(this);
  m_copyTicker->setInterval(100);
  connect(m_copyTicker, &QTimer::timeout, this, [this] { m_copyProgress->setValue(m_copyPercent.load()); });
  connect(m_position, &QSlider::sliderMoved, this, [this](int value) {
    if (m_player != nullptr) m_player->setPosition(value);
  });

  m_stack->addWidget(m_hint);
  m_stack->addWidget(m_bubbles);
  m_stack->addWidget(m_card);
  m_stack->addWidget(m_text);
  m_stack->addWidget(m_picture);
  m_stack->addWidget(m_mediaPage);

  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_stack);
  ApplyTexts();
  ResetPreview();
}

void CPreviewVrtWnd::ApplyTexts() { ApplyWindowTexts(m_area, "PreviewProcessWnd"); }

CPreviewVrtWnd::View CPreviewVrtWnd::view() const { return static_cast<View>(m_stack->currentIndex()); }

void CPreviewVrtWnd::Show(View view) { m_stack->setCurrentIndex(static_cast<int>(view)); }

void CPreviewVrtWnd::ShowMessage(const QString& text) {
  m_hint->setText(text);
  Show(View::kHint);
}

void CPreviewVrtWnd::StopMedia() {
  if (m_player == nullptr) return;
  m_player->stop();
  m_player->setSource(QUrl());
  m_playButton->setText(QStringLiteral("Play"));
}

void CPreviewVrtWnd::CancelWork() {
  if (m_copyTicker != nullptr) m_copyTicker->stop();
  if (!m_worker.joinable()) return;
  m_cancel = true;
  m_worker.join();
  m_cancel = false;
}

void CPreviewVrtWnd::ResetPreview() {
  CancelWork();
  StopMedia();
  ++m_generation;
  m_chatModel->Clear();
  m_text->clear();
  m_picture->clear();
  m_shownImage = QImage();
  m_shownSource.clear();
  m_shownTemp.clear();
  ShowMessage(tr("Select a category, then an item to preview it here."));
}

void CPreviewVrtWnd::ShowCategoryHint(CategoryKind kind) {
  CancelWork();
  StopMedia();
  ++m_generation;
  QString hint;
  switch (kind) {
    case CategoryKind::kMessages:
    case CategoryKind::kWhatsApp: hint = tr("Select a conversation to read it."); break;
    case CategoryKind::kContacts: hint = tr("Select a contact to see the card."); break;
    case CategoryKind::kNotes: hint = tr("Select a note to read it."); break;
    case CategoryKind::kCallHistory: hint = tr("Select a call to see its details."); break;
    case CategoryKind::kAppPhotos:
    case CategoryKind::kAppVideos: hint = tr("Open an app's folder (Enter or double-click) to see its files."); break;
    default: hint = tr("Select a file to preview it."); break;
  }
  ShowMessage(hint);
}

void CPreviewVrtWnd::ShowConversation(const std::vector<MessageItem>& messages) {
  CancelWork();
  StopMedia();
  ++m_generation;
  m_chatModel->ShowMessages(messages);
  Show(View::kBubbles);
  m_bubbles->scrollToBottom();
}

void CPreviewVrtWnd::ShowChat(const std::vector<ChatMessageItem>& messages) {
  CancelWork();
  StopMedia();
  ++m_generation;
  m_chatModel->ShowChat(messages);
  Show(View::kBubbles);
  m_bubbles->scrollToBottom();
}

void CPreviewVrtWnd::ShowContact(const ContactItem& contact) {
  CancelWork();
  StopMedia();
  ++m_generation;
  const QString colour = QStringLiteral("color: %1;").arg(QColor::fromRgba(kDeletedRecordColor).name());
  const bool deleted = contact.deleted != 0;
  m_cardName->setText(Utf8(contact.name.empty() ? std::string("(no name)") : contact.name) +
                      (deleted ? tr("  (deleted)") : QString()));
  m_cardName->setStyleSheet(deleted ? colour : QString());
  const std::string* values[] = {&contact.phone, &contact.email, &contact.address,
                                 &contact.url,   &contact.social, &contact.company};
  for (std::size_t i = 0; i < m_cardRows.size(); ++i) {
    const bool empty = values[i]->empty();
    m_cardRows[i].first->setVisible(!empty);
    m_cardRows[i].second->setVisible(!empty);
    m_cardRows[i].second->setText(Utf8(*values[i]));
    m_cardRows[i].first->setStyleSheet(deleted ? colour : QString());
    m_cardRows[i].second->setStyleSheet(deleted ? colour : QString());
  }
  Show(View::kContact);
}

void CPreviewVrtWnd::ShowNote(const NoteItem& note) {
  CancelWork();
  StopMedia();
  ++m_generation;
  const bool deleted = note.deleted != 0;
  const QString colour = ColourName(deleted);
  const QString folder = note.folder.empty() ? QString() : tr("Folder: %1").arg(Html(note.folder));
  // A locked note's text is never read: the pane says so in its place.
  const QString body = note.locked != 0 ? tr("Locked with a password: the text was not read.") : Html(note.content);
  m_text->setHtml(
      QStringLiteral("<p style='color:%1'><b>%2</b>%3</p><h3>%4</h3><p style='color:%1'>%5</p><p style='color:%1'>%6</p><p>%7</p>")
          .arg(colour, tr("Title"), deleted ? tr(" (deleted note)") : QString(), Html(note.title), Html(note.date),
               folder, body));
  Show(View::kText);
}

void CPreviewVrtWnd::ShowCall(const CallItem& call) {
  CancelWork();
  StopMedia();
  ++m_generation;
  const QString colour = ColourName(call.deleted != 0);
  m_text->setHtml(QStringLiteral("<h3 style='color:%1'>%2</h3><p>%3</p><p>%4 · %5</p><p style='color:%1'>%6</p>")
                      .arg(colour, Html(call.name.empty() ? call.address : call.name), Html(call.address),
                           QString::fromUtf8(apps::CallTypeText(call)),
                           Utf8(apps::CallDurationText(call)),
                           Html(call.date) + (call.deleted != 0 ? tr(" · deleted") : QString())));
  Show(View::kText);
}

void CPreviewVrtWnd::ShowMediaFile(const FileItem& file) {
  CancelWork();
  StopMedia();
  const unsigned generation = ++m_generation;
  m_shownName = Utf8(file.name);
  m_shownDetails = FileDetails(file);
  if (file.path == m_shownSource && !m_shownTemp.empty()) {
    // The copy of this file is still in the work folder.
    Extracted again{generation, {}, m_shownSource, m_shownTemp, {}};
    if (KindOfCopy(m_shownTemp) == MediaKind::kPicture) again.picture = m_shownImage;
    OnExtracted(again);
    return;
  }
  m_shownSource.clear();
  m_shownTemp.clear();
  m_mediaName->setText(tr("Preparing the preview of %1").arg(m_shownName));
  m_copyProgress->setValue(0);
  m_copyProgress->setVisible(true);
  m_video->setVisible(false);
  Show(View::kMedia);

  const std::string workFolder = m_mainWnd.engine().WorkFolder().string() + "/";
  const std::string source = file.path;
  const qreal ratio = m_area->devicePixelRatioF();
  const int side = std::min(kLargestPictureSide,
                            static_cast<int>(std::max(m_area->width(), m_area->height()) * ratio * 1.5));
  m_copyPercent = 0;
  m_worker = std::thread([this, generation, workFolder, source, side] {
    Extracted extracted;
    extracted.generation = generation;
    extracted.source = source;
    extracted.result = ExtractPreviewFile(
        workFolder, source, extracted.tempPath,
        [](void* userData, int percent) -> std::error_code {
          auto* pane = static_cast<CPreviewVrtWnd*>(userData);
          pane->m_copyPercent = percent;
          return pane->m_cancel.load() ? CoreCancelledResult() : std::error_code{};
        },
        this);
    if (CoreSucceeded(extracted.result) && KindOfCopy(extracted.tempPath) == MediaKind::kPicture && !m_cancel) {
      extracted.picture = ReadScaledPicture(QString::fromStdString(extracted.tempPath), std::max(side, 64));
      if (extracted.picture.isNull()) extracted.picture = ReadHeifPicture(extracted.tempPath, std::max(side, 64));
    }
    if (m_cancel) return;
    QMetaObject::invokeMethod(this, [this, extracted] { OnExtracted(extracted); }, Qt::QueuedConnection);
  });
  m_copyTicker->start();
}

void CPreviewVrtWnd::OnPreviewReady() {}

void CPreviewVrtWnd::OnExtracted(const Extracted& extracted) {
  if (extracted.generation != m_generation) return;
  if (m_worker.joinable()) m_worker.join();
  m_copyTicker->stop();
  m_copyProgress->setVisible(false);
  if (!CoreSucceeded(extracted.result)) {
    ShowMessage(tr("%1 cannot be previewed: %2").arg(m_shownName, CoreResultText(extracted.result)));
    emit mediaShown();
    return;
  }
  m_shownSource = extracted.source;
  m_shownTemp = extracted.tempPath;
  switch (KindOfCopy(extracted.tempPath)) {
    case MediaKind::kPicture:
      if (extracted.picture.isNull()) {
        ShowMessage(tr("%1 cannot be shown: the picture could not be decoded.").arg(m_shownName));
        break;
      }
      m_shownImage = extracted.picture;
      {
        QPixmap pixmap = QPixmap::fromImage(m_shownImage);
        const QSize room = m_picture->size().isValid() && m_picture->width() > 10 ? m_picture->size() : m_area->size();
        const qreal ratio = m_area->devicePixelRatioF();
        // Fitted to the pane; small pictures grow at most four times.
        const QSize fitted = pixmap.size().scaled((room * ratio).boundedTo(pixmap.size() * 4), Qt::KeepAspectRatio);
        if (fitted != pixmap.size()) pixmap = pixmap.scaled(fitted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
        m_picture->setPixmap(pixmap);
      }
      m_picture->setToolTip(m_shownDetails);
      Show(View::kPicture);
      break;
    case MediaKind::kSound:
    case MediaKind::kVideo: {
      EnsurePlayer();
      const bool video = KindOfCopy(extracted.tempPath) == MediaKind::kVideo;
      m_video->setVisible(video);
      m_mediaName->setText(m_shownName);
      m_player->setSource(QUrl::fromLocalFile(QString::fromStdString(extracted.tempPath)));
      Show(View::kMedia);
      break;
    }
    case MediaKind::kNone:
      ShowMessage(tr("%1 is not a picture, sound or video; recover it to open it.").arg(m_shownName));
      break;
  }
  emit mediaShown();
}

void CPreviewVrtWnd::EnsurePlayer() {
  if (m_player != nullptr) return;
  m_player = new QMediaPlayer(this);
  m_audio = new QAudioOutput(this);
  m_player->setAudioOutput(m_audio);
  m_player->setVideoOutput(m_video);
  connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
    m_position->setRange(0, static_cast<int>(duration));
  });
  connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
    if (!m_position->isSliderDown()) m_position->setValue(static_cast<int>(position));
    m_time->setText(TimeText(position) + QStringLiteral(" / ") + TimeText(m_player->duration()));
  });
  connect(m_player, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
    m_playButton->setText(state == QMediaPlayer::PlayingState ? tr("Pause") : tr("Play"));
  });
  connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString& text) {
    m_mediaName->setText(tr("%1 cannot be played here (%2). Recover the file and open it with a media player.")
                             .arg(m_shownName, text));
  });
}

}  // namespace scrivel::gui
