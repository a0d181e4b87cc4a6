// The messages of one conversation or WhatsApp chat for the preview's
// bubble list: one row per message, in the conversation's order. The model
// keeps references into the scan's message map, which stays unchanged while
// the preview shows it.
#pragma once

#include <QAbstractListModel>
#include <vector>

#include "core/recovery/scan_results.h"

namespace scrivel::gui {

class CChatModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role {
    kSenderRole = Qt::UserRole + 1,  // QString: "Me" for own messages, else the partner
    kDateRole,                       // QString: the message's local date text
    kFromMeRole,                     // bool
    kDeletedRole,                    // bool
  };

  explicit CChatModel(QObject* parent = nullptr);

  void ShowMessages(const std::vector<MessageItem>& messages);
  void ShowChat(const std::vector<ChatMessageItem>& messages);
  void Clear();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  const std::vector<MessageItem>* m_messages = nullptr;
  const std::vector<ChatMessageItem>* m_chat = nullptr;
};

}  // namespace scrivel::gui
