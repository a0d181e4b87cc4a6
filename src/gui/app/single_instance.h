// One running application per user. The first start listens on a local
// socket in the user's runtime folder; a later start connects to it and asks
// it to show its window. The first answers "shown" once it has its main
// window and "starting" before; one that is connected but does not answer in
// time is still starting too.
//
// Protocol (one line each way, ASCII): the later start sends "show\n"; the
// running one answers "shown\n" or "starting\n" and closes the connection.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalSocket;
class QWidget;

namespace scrivel::gui {

// What a running instance answered to "show".
enum class RunningInstance {
  kNone,           // nobody listens under that name
  kShownWindow,    // it showed its main window
  kHasNoWindow,    // it runs but has no window yet (or did not answer in time)
};

// Asks the instance listening under serverName to show its window. Blocks
// for at most about timeoutMs; usable from any thread.
RunningInstance AskRunningInstanceToShow(const QString& serverName, int timeoutMs);

class CSingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Claim {
    kFirst,               // this process is the running instance now
    kOtherShowedWindow,   // another runs and showed its window: exit
    kOtherHasNoWindow,    // another runs without a window yet: say so, exit
  };

  // serverName: a full socket path, or a name placed in the temp folder.
  explicit CSingleInstance(QString serverName);

  // The per-user name: a socket in the user's runtime folder.
  static QString DefaultServerName();

  // Becomes the running instance or notifies the one that runs. A socket
  // left behind by a crashed instance is replaced.
  Claim ClaimOrNotify(int answerTimeoutMs = 3000);

  // The window to show when a later start asks; until it is set, the answer
  // is "starting".
  void SetWindow(QWidget* window) { m_window = window; }

  bool isListening() const { return m_server.isListening(); }

 private:
  void OnNewConnection();
  void Answer(QLocalSocket* socket);

  QString m_serverName;
  QLocalServer m_server;
  QPointer<QWidget> m_window;
};

}  // namespace scrivel::gui
