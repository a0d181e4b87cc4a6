// Controller of the preview pane inside the scan page ("PreviewVtrWnd"):
// shows the item selected in the data list. A conversation or chat becomes
// chat bubbles, a contact a card, a note its title, date and text, a call
// its details; a picture is shown scaled inside the pane, and sound and
// video play inside the pane with play, pause and position.
//
// Stored files are copied out of the backup into the work folder first
// (the preview copy), and pictures are decoded and scaled, on the pane's
// worker thread; a new selection cancels that work and stops any playback
// before the next item is shown.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "core/recovery/scan_results.h"
#include "core/recovery/category_kind.h"

class QLabel;
class QListView;
class QMediaPlayer;
class QAudioOutput;
class QProgressBar;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTextBrowser;
class QTimer;
class QVideoWidget;
class QWidget;

namespace scrivel::gui {

class CBubbleDelegate;
class CChatModel;
class CMainWnd;

class CPreviewVrtWnd : public QObject {
  Q_OBJECT

 public:
  // What the pane shows (the index of its stacked views).
  enum class View { kHint, kBubbles, kContact, kText, kPicture, kMedia };

  explicit CPreviewVrtWnd(CMainWnd& mainWnd);
  ~CPreviewVrtWnd() override;

  // Takes the pane's area, builds the views and applies their texts.
  void Init(QWidget* area);
  // Applies the "PreviewProcessWnd" section again (after a language change).
  void ApplyTexts();
  // A preview file was extracted: show it (WM_PREVIEW_READY).
  void OnPreviewReady();

  void ResetPreview();
  // A category was chosen: a short hint of what selecting a row shows.
  void ShowCategoryHint(CategoryKind kind);
  void ShowConversation(const std::vector<MessageItem>& messages);
  void ShowChat(const std::vector<ChatMessageItem>& messages);
  void ShowContact(const ContactItem& contact);
  void ShowNote(const NoteItem& note);
  void ShowCall(const CallItem& call);
  // Copies the stored file to the work folder and shows it by its content.
  void ShowMediaFile(const FileItem& file);

  View view() const;
  QWidget* area() const { return m_area; }
  QListView* bubbleList() const { return m_bubbles; }
  QTextBrowser* textView() const { return m_text; }
  QLabel* pictureLabel() const { return m_picture; }
  QMediaPlayer* player() const { return m_player; }
  // The picture shown last, at its scaled size (null when none).
  const QImage& shownPicture() const { return m_shownImage; }

 signals:
  // A preview copy finished and was shown (or failed): for tests and the screenshot tool.
  void mediaShown();

 private:
  struct Extracted {
    unsigned generation = 0;
    std::error_code result;
    std::string source;    // the stored file
    std::string tempPath;  // its copy in the work folder
    QImage picture;  // decoded and scaled when the copy is a picture
  };

  void Show(View view);
  void StopMedia();
  void CancelWork();
  void OnExtracted(const Extracted& extracted);
  void EnsurePlayer();
  void ShowMessage(const QString& text);

  CMainWnd& m_mainWnd;  // the engine's work folder and the queued calls
  QWidget* m_area = nullptr;
  QStackedWidget* m_stack = nullptr;
  QLabel* m_hint = nullptr;
  QListView* m_bubbles = nullptr;
  CChatModel* m_chatModel = nullptr;
  QWidget* m_card = nullptr;
  QLabel* m_cardName = nullptr;
  std::vector<std::pair<QLabel*, QLabel*>> m_cardRows;  // label, value: phone, email, address, url, social, company
  QTextBrowser* m_text = nullptr;
  QLabel* m_picture = nullptr;
  QWidget* m_mediaPage = nullptr;
  QVideoWidget* m_video = nullptr;
  QPushButton* m_playButton = nullptr;
  QSlider* m_position = nullptr;
  QLabel* m_time = nullptr;
  QLabel* m_mediaName = nullptr;
  QProgressBar* m_copyProgress = nullptr;
  QTimer* m_copyTicker = nullptr;      // shows the copy's percent while it runs
  QMediaPlayer* m_player = nullptr;    // made when the first sound or video is shown
  QAudioOutput* m_audio = nullptr;
  QImage m_shownImage;

  // The preview copy runs on this thread; one at a time, joined before the next.
  std::thread m_worker;
  std::atomic<bool> m_cancel{false};
  std::atomic<int> m_copyPercent{0};
  unsigned m_generation = 0;   // counts the requests; a stale answer is dropped
  std::string m_shownSource;   // the stored file whose copy is in the work folder
  std::string m_shownTemp;
  QString m_shownName;
  QString m_shownDetails;  // tooltip of a shown picture: its name and what the library says of it
};

}  // namespace scrivel::gui
