#include "gui/controls/result_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace scrivel::gui {

CResultListView::CResultListView(QWidget* parent) : QTreeView(parent) {
  setObjectName(QStringLiteral("DataList"));
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setItemsExpandable(false);
  setAllColumnsShowFocus(true);
  setAlternatingRowColors(true);
  setSortingEnabled(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideRight);
  header()->setStretchLastSection(true);
  header()->setSortIndicatorShown(true);
  sortByColumn(-1, Qt::AscendingOrder);  // the category's own order until a header is clicked
  setProperty("takesEnter", true);       // the main window lets Enter through to this view
}

void CResultListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
    QModelIndexList rows = selectionModel() != nullptr ? selectionModel()->selectedRows(0) : QModelIndexList();
    if (rows.isEmpty() && currentIndex().isValid()) rows.push_back(currentIndex().siblingAtColumn(0));
    if (!rows.isEmpty()) emit toggleChecks(rows);
    event->accept();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
    emit activated(currentIndex());
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

}  // namespace scrivel::gui
