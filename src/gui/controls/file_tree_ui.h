// "FileTree": the category tree. Each node has a folder (expand) button and
// a check box. Checking a node gives every node below it the same state and
// makes each node above it checked (all children checked), partly checked
// (some) or unchecked (none). Double-clicking a node expands or collapses it.
#pragma once

#include <QTreeWidget>

namespace scrivel::gui {

class CFileTreeUI : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CFileTreeUI(QWidget* parent = nullptr);

  // A new unchecked node under parent (at the top level when parent is null).
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text);

  // Sets the node's check box as a click would, propagating down and up, and
  // notifies checkBoxSelectChanged.
  void SetNodeChecked(QTreeWidgetItem* node, bool checked);

  // Shows a state that was decided elsewhere (for example, partly checked
  // after one row of the node's list was unchecked): the nodes below keep
  // theirs, the nodes above follow, and nothing is notified.
  void ShowNodeState(QTreeWidgetItem* node, Qt::CheckState state);

 signals:
  // A node was expanded or collapsed.
  void itemExpand(QTreeWidgetItem* node);
  // A node's check box changed (after propagation).
  void checkBoxSelectChanged(QTreeWidgetItem* node);

 private:
  void OnItemChanged(QTreeWidgetItem* node, int column);
  void ApplyCheck(QTreeWidgetItem* node);
  void SetSubtreeState(QTreeWidgetItem* node, Qt::CheckState state);
  void UpdateAncestors(QTreeWidgetItem* node);
  void SetState(QTreeWidgetItem* node, Qt::CheckState state);

  bool m_propagating = false;  // true while this class itself changes check boxes
};

}  // namespace scrivel::gui
