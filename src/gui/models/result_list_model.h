// The data list's model: the rows of one category of a scan, as a table
// whose columns depend on the category. It adapts the scan's result
// containers without copying them: each row refers to an element of the
// container and to that element's entry in the selection statistics, and
// the cells are made from the element when a view asks for them.
//
// Column 0 carries the row's check box, which reads and writes the
// selection statistics. Rows of deleted records have the deleted colour.
// Sorting and filtering are done by CResultFilterProxy through the typed
// accessors below, which compare and search the UTF-8 texts directly.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "core/recovery/scan_results.h"
#include "core/recovery/category_kind.h"
#include "core/results/statistics_obj.h"

namespace scrivel::gui {

class CResultListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Role {
    kDeletedRole = Qt::UserRole + 1,  // bool: the row is a deleted record
    kSortRole,                        // the raw value a column sorts by (bytes, seconds, text)
  };
  // What the rows are: items of a category, the apps of App Photos or App
  // Videos, or the files of one app.
  enum class Level { kItems, kAppFolders, kAppFiles };

  explicit CResultListModel(QObject* parent = nullptr);

  // The statistics the check boxes read and write (null: no check boxes).
  void SetStatistics(CStatisticsObj* statistics) { m_statistics = statistics; }

  // Replaces the rows. The containers must stay unchanged while shown.
  void Clear();
  void ShowFiles(CategoryKind kind, const std::vector<FileItem>& files);
  void ShowAppFolders(CategoryKind kind, const FilesByApp& apps);
  void ShowAppFiles(CategoryKind kind, const std::string& app, const std::vector<FileItem>& files);
  void ShowConversations(const std::vector<MessageItem>& rows);
  void ShowContacts(const std::vector<ContactItem>& contacts);
  void ShowCalls(const std::vector<CallItem>& calls);
  void ShowNotes(const std::vector<NoteItem>& notes);
  void ShowChats(const std::vector<ChatMessageItem>& rows);

  CategoryKind kind() const { return m_kind; }
  Level level() const { return m_level; }

  // Typed access for windows and the proxy; row is a source row.
  const void* ItemAt(int row) const;  // the element (or an app's file vector); null when out of range
  bool DeletedAt(int row) const;
  const std::string* AppNameAt(int row) const;  // app folder rows only
  template <typename Item>
  const Item* RecordAt(int row) const {
    return static_cast<const Item*>(ItemAt(row));
  }
  // True when one of the row's texts holds `lowerNeedle` (lower-case UTF-8;
  // ASCII letters match either case).
  bool RowMatches(int row, std::string_view lowerNeedle) const;
  // Orders two rows by `column`: sizes and durations by number, texts
  // bytewise with ASCII letters folded.
  bool LessThan(int leftRow, int rightRow, int column) const;

  // Sets the check of many rows with one change notice.
  void SetRowsChecked(const std::vector<int>& rows, bool checked);
  // The statistics changed elsewhere (a category was checked in the tree):
  // every check box is read again.
  void RefreshChecks();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 signals:
  // A check box changed through this model.
  void checksChanged();

 private:
  struct Row {
    const void* item = nullptr;
    const StatisticsEntry* entry = nullptr;  // null when the statistics do not know the item
    const std::string* app = nullptr;        // app folder rows: the app's name
  };
  template <typename Item>
  void ShowRecords(CategoryKind kind, const std::vector<Item>& items, QStringList columns);
  void Reset(CategoryKind kind, Level level, QStringList columns);
  // The text of a cell; texts made for the cell are kept in scratch.
  std::string_view TextAt(const Row& row, int column, std::string& scratch) const;
  // Columns that sort by number (sizes, durations, file counts) give it here.
  bool NumberAt(const Row& row, int column, std::uint64_t& number) const;
  QString DisplayText(const Row& row, int column) const;
  Qt::CheckState CheckStateAt(const Row& row) const;
  bool IsFileRow() const;

  CStatisticsObj* m_statistics = nullptr;
  CategoryKind m_kind = CategoryKind::kNone;
  Level m_level = Level::kItems;
  QStringList m_columns;
  std::vector<Row> m_rows;
};

}  // namespace scrivel::gui
