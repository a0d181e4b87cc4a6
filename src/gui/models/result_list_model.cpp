#include "gui/models/result_list_model.h"

#include <QColor>
#include <algorithm>

#include "core/common/format.h"
#include "core/apps/call_history.h"
#include "gui/skin/skin_colors.h"

namespace scrivel::gui {

namespace {

constexpr int kLongTextShown = 160;  // characters of a message or note shown in one cell

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsFolded(std::string_view haystack, std::string_view lowerNeedle) {
  if (lowerNeedle.empty()) return true;
  if (haystack.size() < lowerNeedle.size()) return false;
  const auto found = std::search(haystack.begin(), haystack.end(), lowerNeedle.begin(), lowerNeedle.end(),
                                 [](char a, char b) { return FoldAscii(a) == b; });
  return found != haystack.end();
}

int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(FoldAscii(a[i]));
    const auto y = static_cast<unsigned char>(FoldAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string_view FirstLine(std::string_view text) { return text.substr(0, text.find('\n')); }

}  // namespace

CResultListModel::CResultListModel(QObject* parent) : QAbstractTableModel(parent) {}

void CResultListModel::Reset(CategoryKind kind, Level level, QStringList columns) {
  m_kind = kind;
  m_level = level;
  m_columns = std::move(columns);
  m_rows.clear();
}

void CResultListModel::Clear() {
  beginResetModel();
  Reset(CategoryKind::kNone, Level::kItems, {});
  endResetModel();
}

template <typename Item>
void CResultListModel::ShowRecords(CategoryKind kind, const std::vector<Item>& items, QStringList columns) {
  beginResetModel();
  Reset(kind, Level::kItems, std::move(columns));
  m_rows.reserve(items.size());
  for (const Item& item : items) {
    m_rows.push_back({&item, m_statistics != nullptr ? m_statistics->Find(&item) : nullptr, nullptr});
  }
  endResetModel();
}

void CResultListModel::ShowFiles(CategoryKind kind, const std::vector<FileItem>& files) {
  ShowRecords(kind, files, {tr("File Name"), tr("File Size")});
}

void CResultListModel::ShowAppFolders(CategoryKind kind, const FilesByApp& apps) {
  beginResetModel();
  Reset(kind, Level::kAppFolders, {tr("App Name"), tr("Type"), tr("Files")});
  m_rows.reserve(apps.size());
  for (const auto& [app, files] : apps) {
    m_rows.push_back({&files, m_statistics != nullptr ? m_statistics->Find(&files) : nullptr, &app});
  }
  endResetModel();
}

void CResultListModel::ShowAppFiles(CategoryKind kind, const std::string& /*app*/, const std::vector<FileItem>& files) {
  beginResetModel();
  Reset(kind, Level::kAppFiles, {tr("File Name"), tr("App Name"), tr("Size")});
  m_rows.reserve(files.size());
  for (const FileItem& file : files) {
    m_rows.push_back({&file, m_statistics != nullptr ? m_statistics->Find(&file) : nullptr, nullptr});
  }
  endResetModel();
}

void CResultListModel::ShowConversations(const std::vector<MessageItem>& rows) {
  ShowRecords(CategoryKind::kMessages, rows, {tr("User Name"), tr("Phone Number"), tr("Date"), tr("Message")});
}

void CResultListModel::ShowContacts(const std::vector<ContactItem>& contacts) {
  ShowRecords(CategoryKind::kContacts, contacts, {tr("Name"), tr("Company"), tr("Phone"), tr("Email"), tr("Home Page")});
}

void CResultListModel::ShowCalls(const std::vector<CallItem>& calls) {
  ShowRecords(CategoryKind::kCallHistory, calls,
              {tr("User Name"), tr("Phone Number"), tr("Date"), tr("Call Status"), tr("Duration"), tr("Status")});
}

void CResultListModel::ShowNotes(const std::vector<NoteItem>& notes) {
  ShowRecords(CategoryKind::kNotes, notes, {tr("Title"), tr("Folder"), tr("Date"), tr("Note")});
}

void CResultListModel::ShowChats(const std::vector<ChatMessageItem>& rows) {
  ShowRecords(CategoryKind::kWhatsApp, rows, {tr("Chats"), tr("Name"), tr("Phone")});
}

bool CResultListModel::IsFileRow() const { return IsFileCategory(m_kind) && m_level != Level::kAppFolders; }

const void* CResultListModel::ItemAt(int row) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return nullptr;
  return m_rows[static_cast<std::size_t>(row)].item;
}

bool CResultListModel::DeletedAt(int row) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return false;
  const void* item = m_rows[static_cast<std::size_t>(row)].item;
  // Camera-roll pictures in Recently Deleted; other files are never deleted.
  if (IsFileCategory(m_kind)) return IsFileRow() && static_cast<const FileItem*>(item)->deleted;
  switch (m_kind) {
    case CategoryKind::kMessages: return static_cast<const MessageItem*>(item)->deleted != 0;
    case CategoryKind::kContacts: return static_cast<const ContactItem*>(item)->deleted != 0;
    case CategoryKind::kCallHistory: return static_cast<const CallItem*>(item)->deleted != 0;
    case CategoryKind::kNotes: return static_cast<const NoteItem*>(item)->deleted != 0;
    case CategoryKind::kWhatsApp: return static_cast<const ChatMessageItem*>(item)->deleted != 0;
    default: return false;
  }
}

const std::string* CResultListModel::AppNameAt(int row) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return nullptr;
  return m_rows[static_cast<std::size_t>(row)].app;
}

std::string_view CResultListModel::TextAt(const Row& row, int column, std::string& scratch) const {
  if (m_level == Level::kAppFolders) {
    const auto* files = static_cast<const std::vector<FileItem>*>(row.item);
    switch (column) {
      case 0: return *row.app;
      case 1: return "Folder";
      case 2: scratch = std::to_string(files->size()); return scratch;
      default: return {};
    }
  }
  if (IsFileRow()) {
    const auto* file = static_cast<const FileItem*>(row.item);
    const int sizeColumn = m_level == Level::kAppFiles ? 2 : 1;
    if (column == 0) return file->name;
    if (column == sizeColumn) {
      scratch = FormatFileSize(static_cast<std::int64_t>(file->size));
      return scratch;
    }
    if (m_level == Level::kAppFiles && column == 1) return file->app;
    return {};
  }
  switch (m_kind) {
    case CategoryKind::kMessages: {
      const auto* m = static_cast<const MessageItem*>(row.item);
      switch (column) {
        case 0: return m->name;
        case 1: return m->address;
        case 2: return m->date;
        case 3: return m->text;
        default: return {};
      }
    }
    case CategoryKind::kContacts: {
      const auto* c = static_cast<const ContactItem*>(row.item);
      switch (column) {
        case 0: return c->name;
        case 1: return c->company;
        case 2: return FirstLine(c->phone);
        case 3: return c->email;
        case 4: return c->url;
        default: return {};
      }
    }
    case CategoryKind::kCallHistory: {
      const auto* c = static_cast<const CallItem*>(row.item);
      switch (column) {
        case 0: return c->name;
        case 1: return c->address;
        case 2: return c->date;
        case 3: return apps::CallTypeText(*c);
        case 4: scratch = apps::CallDurationText(*c); return scratch;
        case 5: return c->deleted != 0 ? "Deleted" : "Normal";
        default: return {};
      }
    }
    case CategoryKind::kNotes: {
      const auto* n = static_cast<const NoteItem*>(row.item);
      switch (column) {
        case 0: return n->title;
        case 1: return n->folder;
        case 2: return n->date;
        // A locked note's text was not read; the cell says so instead.
        case 3: return n->locked != 0 ? std::string_view("Locked with a password") : std::string_view(n->content);
        default: return {};
      }
    }
    case CategoryKind::kWhatsApp: {
      const auto* c = static_cast<const ChatMessageItem*>(row.item);
      switch (column) {
        case 0: return c->chatTitle;
        case 1: return c->chatNames.empty() ? std::string_view(c->senderName) : std::string_view(c->chatNames);
        case 2: return c->chatJids.empty() ? std::string_view(c->senderJid) : std::string_view(c->chatJids);
        default: return {};
      }
    }
    default: return {};
  }
}

bool CResultListModel::NumberAt(const Row& row, int column, std::uint64_t& number) const {
  if (m_level == Level::kAppFolders) {
    if (column != 2) return false;
    number = static_cast<const std::vector<FileItem>*>(row.item)->size();
    return true;
  }
  if (IsFileRow()) {
    if (column != (m_level == Level::kAppFiles ? 2 : 1)) return false;
    number = static_cast<const FileItem*>(row.item)->size;
    return true;
  }
  if (m_kind == CategoryKind::kCallHistory && column == 4) {
    const int duration = static_cast<const CallItem*>(row.item)->duration;
    number = duration > 0 ? static_cast<std::uint64_t>(duration) : 0;
    return true;
  }
  return false;
}

QString CResultListModel::DisplayText(const Row& row, int column) const {
  std::string scratch;
  std::string_view text = TextAt(row, column, scratch);
  const bool longText = (m_kind == CategoryKind::kMessages && column == 3) || (m_kind == CategoryKind::kNotes && column == 3);
  if (!longText) return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  // A cell shows one line: the start of the text, its line breaks as blanks.
  if (text.size() > static_cast<std::size_t>(kLongTextShown) * 4) text = text.substr(0, static_cast<std::size_t>(kLongTextShown) * 4);
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).left(kLongTextShown);
  shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  return shown;
}

Qt::CheckState CResultListModel::CheckStateAt(const Row& row) const {
  if (m_level == Level::kAppFolders) {
    if (m_statistics == nullptr) return Qt::Unchecked;
    switch (m_statistics->GetCheckState(row.item)) {
      case CheckState::kAll: return Qt::Checked;
      case CheckState::kSome: return Qt::PartiallyChecked;
      case CheckState::kNone: return Qt::Unchecked;
    }
  }
  return row.entry != nullptr && row.entry->checked ? Qt::Checked : Qt::Unchecked;
}

bool CResultListModel::RowMatches(int row, std::string_view lowerNeedle) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return false;
  const Row& r = m_rows[static_cast<std::size_t>(row)];
  std::string scratch;
  for (int column = 0; column < m_columns.size(); ++column) {
    if (ContainsFolded(TextAt(r, column, scratch), lowerNeedle)) return true;
  }
  // A contact is also found by what its card shows beyond the cells: every
  // form of its numbers, its address and social profiles.
  if (m_kind == CategoryKind::kContacts && m_level == Level::kItems) {
    const auto* contact = static_cast<const ContactItem*>(r.item);
    return ContainsFolded(contact->phone, lowerNeedle) || ContainsFolded(contact->address, lowerNeedle) ||
           ContainsFolded(contact->social, lowerNeedle);
  }
  return false;
}

bool CResultListModel::LessThan(int leftRow, int rightRow, int column) const {
  const int count = static_cast<int>(m_rows.size());
  if (leftRow < 0 || rightRow < 0 || leftRow >= count || rightRow >= count) return false;
  const Row& a = m_rows[static_cast<std::size_t>(leftRow)];
  const Row& b = m_rows[static_cast<std::size_t>(rightRow)];
  std::uint64_t x = 0;
  std::uint64_t y = 0;
  if (NumberAt(a, column, x) && NumberAt(b, column, y)) return x < y;
  std::string scratchA;
  std::string scratchB;
  return CompareFolded(TextAt(a, column, scratchA), TextAt(b, column, scratchB)) < 0;
}

void CResultListModel::SetRowsChecked(const std::vector<int>& rows, bool checked) {
  if (m_statistics == nullptr || rows.empty()) return;
  int first = static_cast<int>(m_rows.size());
  int last = -1;
  for (int row : rows) {
    const void* key = ItemAt(row);
    if (key == nullptr || !m_statistics->SetChecked(key, checked)) continue;
    first = std::min(first, row);
    last = std::max(last, row);
  }
  if (last < 0) return;
  emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
  emit checksChanged();
}

void CResultListModel::RefreshChecks() {
  if (m_rows.empty()) return;
  emit dataChanged(index(0, 0), index(static_cast<int>(m_rows.size()) - 1, 0), {Qt::CheckStateRole});
}

int CResultListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CResultListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CResultListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()) || index.column() >= m_columns.size()) {
    return {};
  }
  const Row& row = m_rows[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole: return DisplayText(row, index.column());
    case Qt::CheckStateRole:
      if (index.column() != 0 || m_statistics == nullptr) return {};
      return CheckStateAt(row);
    case Qt::ForegroundRole:
      if (DeletedAt(index.row())) return QColor::fromRgba(kDeletedRecordColor);
      return {};
    case kDeletedRole: return DeletedAt(index.row());
    case kSortRole: {
      std::uint64_t number = 0;
      if (NumberAt(row, index.column(), number)) return QVariant::fromValue<qulonglong>(number);
      return DisplayText(row, index.column());
    }
    default: return {};
  }
}

bool CResultListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 || m_statistics == nullptr) return false;
  const void* key = ItemAt(index.row());
  if (key == nullptr) return false;
  const bool checked = value.toInt() != Qt::Unchecked;
  if (!m_statistics->SetChecked(key, checked)) return false;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit checksChanged();
  return true;
}

Qt::ItemFlags CResultListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0 && m_statistics != nullptr) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QVariant CResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_columns.size()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return m_columns[section];
}

}  // namespace scrivel::gui
