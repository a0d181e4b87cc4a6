#include "gui/controls/file_tree_ui.h"

namespace scrivel::gui {

namespace {

// The check state a node had when the tree last looked: itemChanged fires for
// any change of a node, and only a changed check box must propagate.
constexpr int kKnownCheckStateRole = Qt::UserRole + 100;

Qt::CheckState StateFromChildren(const QTreeWidgetItem* node) {
  int checkedCount = 0;
  bool anyPartly = false;
  for (int i = 0; i < node->childCount(); ++i) {
    const Qt::CheckState state = node->child(i)->checkState(0);
    if (state == Qt::Checked) ++checkedCount;
    if (state == Qt::PartiallyChecked) anyPartly = true;
  }
  if (checkedCount == node->childCount()) return Qt::Checked;
  if (checkedCount > 0 || anyPartly) return Qt::PartiallyChecked;
  return Qt::Unchecked;
}

}  // namespace

CFileTreeUI::CFileTreeUI(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setExpandsOnDoubleClick(false);  // double clicks are handled below, with the notification
  connect(this, &QTreeWidget::itemChanged, this, &CFileTreeUI::OnItemChanged);
  connect(this, &QTreeWidget::itemExpanded, this, &CFileTreeUI::itemExpand);
  connect(this, &QTreeWidget::itemCollapsed, this, &CFileTreeUI::itemExpand);
  connect(this, &QTreeWidget::itemDoubleClicked, this,
          [](QTreeWidgetItem* node, int) { node->setExpanded(!node->isExpanded()); });
}

QTreeWidgetItem* CFileTreeUI::AddNode(QTreeWidgetItem* parent, const QString& text) {
  auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  const bool wasPropagating = m_propagating;
  m_propagating = true;
  node->setText(0, text);
  node->setFlags(node->flags() | Qt::ItemIsUserCheckable);
  SetState(node, Qt::Unchecked);
  if (parent != nullptr) UpdateAncestors(node);
  m_propagating = wasPropagating;
  return node;
}

void CFileTreeUI::SetNodeChecked(QTreeWidgetItem* node, bool checked) {
  if (node == nullptr) return;
  m_propagating = true;
  node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
  m_propagating = false;
  ApplyCheck(node);
}

void CFileTreeUI::ShowNodeState(QTreeWidgetItem* node, Qt::CheckState state) {
  if (node == nullptr) return;
  const bool wasPropagating = m_propagating;
  m_propagating = true;
  SetState(node, state);
  UpdateAncestors(node);
  m_propagating = wasPropagating;
}

void CFileTreeUI::OnItemChanged(QTreeWidgetItem* node, int column) {
  if (m_propagating || column != 0) return;
  if (node->data(0, kKnownCheckStateRole).toInt() == node->checkState(0)) return;  // not the check box
  ApplyCheck(node);
}

void CFileTreeUI::ApplyCheck(QTreeWidgetItem* node) {
  m_propagating = true;
  // A click leaves a node either checked or unchecked, never partly.
  const Qt::CheckState state = node->checkState(0) == Qt::Unchecked ? Qt::Unchecked : Qt::Checked;
  SetSubtreeState(node, state);
  UpdateAncestors(node);
  m_propagating = false;
  emit checkBoxSelectChanged(node);
}

void CFileTreeUI::SetSubtreeState(QTreeWidgetItem* node, Qt::CheckState state) {
  SetState(node, state);
  for (int i = 0; i < node->childCount(); ++i) SetSubtreeState(node->child(i), state);
}

void CFileTreeUI::UpdateAncestors(QTreeWidgetItem* node) {
  for (QTreeWidgetItem* parent = node->parent(); parent != nullptr; parent = parent->parent()) {
    SetState(parent, StateFromChildren(parent));
  }
}

void CFileTreeUI::SetState(QTreeWidgetItem* node, Qt::CheckState state) {
  node->setCheckState(0, state);
  node->setData(0, kKnownCheckStateRole, static_cast<int>(state));
}

}  // namespace scrivel::gui
