#include "gui/app/single_instance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

namespace scrivel::gui {

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";
constexpr char kStartingAnswer[] = "starting\n";
constexpr qint64 kMaxLineSize = 64;  // anything longer is not one of our lines
constexpr int kClaimAttempts = 3;    // two first starts at once may race for the socket

}  // namespace

RunningInstance AskRunningInstanceToShow(const QString& serverName, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(serverName);
  if (!socket.waitForConnected(timeoutMs)) return RunningInstance::kNone;

  const QDeadlineTimer deadline(timeoutMs);
  socket.write(kShowRequest);
  socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
  while (!socket.canReadLine() && socket.bytesAvailable() < kMaxLineSize && !deadline.hasExpired()) {
    if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
  }
  const QByteArray answer = socket.canReadLine() ? socket.readLine(kMaxLineSize) : QByteArray();
  socket.abort();
  return answer == kShownAnswer ? RunningInstance::kShownWindow : RunningInstance::kHasNoWindow;
}

CSingleInstance::CSingleInstance(QString serverName) : m_serverName(std::move(serverName)) {
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

QString CSingleInstance::DefaultServerName() {
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
         QStringLiteral("/Vantoric_iOS_Recovery.socket");
}

CSingleInstance::Claim CSingleInstance::ClaimOrNotify(int answerTimeoutMs) {
  for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
    switch (AskRunningInstanceToShow(m_serverName, answerTimeoutMs)) {
      case RunningInstance::kShownWindow:
        return Claim::kOtherShowedWindow;
      case RunningInstance::kHasNoWindow:
        return Claim::kOtherHasNoWindow;
      case RunningInstance::kNone:
        break;
    }
    // Nobody answers: any socket file there was left by an instance that
    // ended without cleaning up.
    QLocalServer::removeServer(m_serverName);
    if (m_server.listen(m_serverName)) return Claim::kFirst;
  }
  // The socket cannot be had; run anyway rather than refuse to start.
  return Claim::kFirst;
}

void CSingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Answer(socket); });
    if (socket->canReadLine()) Answer(socket);
  }
}

void CSingleInstance::Answer(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() >= kMaxLineSize) socket->abort();
    return;
  }
  const QByteArray request = socket->readLine(kMaxLineSize);
  if (request != kShowRequest) {
    socket->abort();
    return;
  }
  if (m_window != nullptr) {
    // Up from the task bar or from hiding, keeping a maximised window maximised.
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    socket->write(kShownAnswer);
  } else {
    socket->write(kStartingAnswer);
  }
  socket->flush();
  socket->disconnectFromServer();
}

}  // namespace scrivel::gui
