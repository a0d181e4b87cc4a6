// "DataList": the view of the data list. A flat tree view with uniform row
// heights (so long lists scroll without measuring rows), sortable columns,
// Space to toggle the checks of the selected rows and Enter to open the
// current row (activated).
#pragma once

#include <QTreeView>

namespace scrivel::gui {

class CResultListView : public QTreeView {
  Q_OBJECT

 public:
  explicit CResultListView(QWidget* parent = nullptr);

 signals:
  // Space was pressed: the checks of these rows (indexes of the view's
  // model, column 0) should flip together.
  void toggleChecks(const QModelIndexList& rows);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace scrivel::gui
