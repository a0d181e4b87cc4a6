#include "gui/models/chat_model.h"

#include "core/results/record_texts.h"

namespace scrivel::gui {

namespace {

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

CChatModel::CChatModel(QObject* parent) : QAbstractListModel(parent) {}

void CChatModel::ShowMessages(const std::vector<MessageItem>& messages) {
  beginResetModel();
  m_messages = &messages;
  m_chat = nullptr;
  endResetModel();
}

void CChatModel::ShowChat(const std::vector<ChatMessageItem>& messages) {
  beginResetModel();
  m_messages = nullptr;
  m_chat = &messages;
  endResetModel();
}

void CChatModel::Clear() {
  beginResetModel();
  m_messages = nullptr;
  m_chat = nullptr;
  endResetModel();
}

int CChatModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  if (m_messages != nullptr) return static_cast<int>(m_messages->size());
  if (m_chat != nullptr) return static_cast<int>(m_chat->size());
  return 0;
}

QVariant CChatModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (m_messages != nullptr) {
    const MessageItem& m = (*m_messages)[row];
    switch (role) {
      case Qt::DisplayRole: return Utf8(MessageShownText(m));
      case kSenderRole: return m.fromMe != 0 ? QStringLiteral("Me") : Utf8(MessageSenderName(m));
      case kDateRole: return Utf8(m.date);
      case kFromMeRole: return m.fromMe != 0;
      case kDeletedRole: return m.deleted != 0;
      default: return {};
    }
  }
  const ChatMessageItem& m = (*m_chat)[row];
  switch (role) {
    case Qt::DisplayRole: return Utf8(m.text);
    case kSenderRole: return m.fromMe != 0 ? QStringLiteral("Me") : Utf8(ChatSenderName(m));
    case kDateRole: return Utf8(m.date);
    case kFromMeRole: return m.fromMe != 0;
    case kDeletedRole: return m.deleted != 0;
    default: return {};
  }
}

}  // namespace scrivel::gui
