#include "gui/models/result_filter_proxy.h"

#include "gui/models/result_list_model.h"

namespace scrivel::gui {

CResultFilterProxy::CResultFilterProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  setDynamicSortFilter(false);  // rows only change through a new fill, which sorts again
}

void CResultFilterProxy::setSourceModel(QAbstractItemModel* model) {
  m_model = qobject_cast<CResultListModel*>(model);
  QSortFilterProxyModel::setSourceModel(model);
}

void CResultFilterProxy::SetDeletedOnly(bool on) {
  if (on == m_deletedOnly) return;
  m_deletedOnly = on;
  invalidateFilter();
}

void CResultFilterProxy::SetSearchText(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed == m_searchText) return;
  m_searchText = trimmed;
  m_needle = trimmed.toLower().toStdString();
  invalidateFilter();
}

bool CResultFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& /*sourceParent*/) const {
  if (m_model == nullptr) return true;
  if (m_deletedOnly && m_model->level() == CResultListModel::Level::kItems && IsRecordCategory(m_model->kind()) &&
      !m_model->DeletedAt(sourceRow)) {
    return false;
  }
  return m_needle.empty() || m_model->RowMatches(sourceRow, m_needle);
}

bool CResultFilterProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  if (m_model == nullptr) return QSortFilterProxyModel::lessThan(left, right);
  return m_model->LessThan(left.row(), right.row(), left.column());
}

}  // namespace scrivel::gui
