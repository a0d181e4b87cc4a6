// The data list's filter and sort: hides the rows that are not deleted
// records while the deleted-only filter is on, hides the rows whose texts
// do not hold the search text, and sorts by the raw values of a column
// (bytes, seconds, texts) through the source model's typed accessors.
#pragma once

#include <QSortFilterProxyModel>
#include <string>

namespace scrivel::gui {

class CResultListModel;

class CResultFilterProxy : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit CResultFilterProxy(QObject* parent = nullptr);

  void setSourceModel(QAbstractItemModel* model) override;

  void SetDeletedOnly(bool on);
  bool deletedOnly() const { return m_deletedOnly; }
  // Rows must hold `text` in one of their cells (letters of A to Z in
  // either case); an empty text shows every row.
  void SetSearchText(const QString& text);
  QString searchText() const { return m_searchText; }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  CResultListModel* m_model = nullptr;
  bool m_deletedOnly = false;
  QString m_searchText;
  std::string m_needle;  // m_searchText in lower-case UTF-8
};

}  // namespace scrivel::gui
