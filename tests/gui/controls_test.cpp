// The skin's custom controls: the factory's names, the animation's play,
// stop and hide rules, the tree's check propagation, and the bubble label.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "gui/controls/button_gif_ui.h"
#include "gui/controls/control_factory.h"
#include "gui/controls/file_tree_ui.h"
#include "gui/controls/label_ex_ui.h"

namespace scrivel::gui {
namespace {

TEST(ControlFactoryTest, CreatesTheThreeSkinControlsByExactName) {
  QWidget parent;
  EXPECT_NE(qobject_cast<CFileTreeUI*>(CreateSkinControl("FileTree", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CButtonGifUI*>(CreateSkinControl("ButtonGif", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CLabelExUI*>(CreateSkinControl("LabelEx", &parent)), nullptr);
  for (const char* name : {"filetree", "Label", "", "FileTreeUI"}) {
    EXPECT_EQ(CreateSkinControl(name, &parent), nullptr) << name;
  }
}

class ButtonGifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_button.setNormalGifFile(":/skins/anim/scanning.gif"));
    m_button.resize(48, 48);
    m_button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_button));
  }

  // Lets the frame timer fire and the control paint.
  void RunFor(int milliseconds) { QTest::qWait(milliseconds); }
  // Waits (at most two seconds) until the frame shown is no longer from.
  bool FrameMovesOn(int from) {
    return QTest::qWaitFor([&] { return m_button.currentFrameIndex() != from; }, 2000);
  }

  CButtonGifUI m_button;
};

TEST_F(ButtonGifTest, PlayAdvancesStopKeepsTheFramePlayResumesFromIt) {
  EXPECT_GT(m_button.frameCount(), 1);
  EXPECT_FALSE(m_button.isTimerActive());
  m_button.Play();
  EXPECT_TRUE(m_button.isTimerActive());
  ASSERT_TRUE(FrameMovesOn(0));
  const int shown = m_button.currentFrameIndex();

  m_button.Stop();
  EXPECT_FALSE(m_button.isPlaying());
  EXPECT_FALSE(m_button.isTimerActive());
  RunFor(200);
  EXPECT_EQ(m_button.currentFrameIndex(), shown);

  m_button.Play();
  EXPECT_EQ(m_button.currentFrameIndex(), shown);
  EXPECT_TRUE(FrameMovesOn(shown));
}

TEST_F(ButtonGifTest, HidingStopsTheTimerAndShowingDoesNotRestartIt) {
  m_button.Play();
  m_button.hide();
  EXPECT_FALSE(m_button.isTimerActive());
  m_button.show();
  EXPECT_FALSE(m_button.isTimerActive());
  const int shown = m_button.currentFrameIndex();
  RunFor(200);
  EXPECT_EQ(m_button.currentFrameIndex(), shown);
  m_button.Play();
  EXPECT_TRUE(m_button.isTimerActive());
}

TEST_F(ButtonGifTest, LoadingAnotherFileStopsTheTimerAndAMissingFileLeavesAPlainButton) {
  m_button.Play();
  EXPECT_FALSE(m_button.setNormalGifFile(":/skins/anim/no-such.gif"));
  EXPECT_FALSE(m_button.isTimerActive());
  EXPECT_EQ(m_button.frameCount(), 0);
  m_button.Play();  // nothing to animate: no timer
  EXPECT_FALSE(m_button.isTimerActive());
  m_button.repaint();
}

class FileTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_group = m_tree.AddNode(nullptr, "Messages & Call Log");
    for (const char* name : {"Messages", "Contacts", "Call History"}) m_nodes.push_back(m_tree.AddNode(m_group, name));
    m_subNode = m_tree.AddNode(m_nodes[0], "Attachments");
  }

  CFileTreeUI m_tree;
  QTreeWidgetItem* m_group = nullptr;
  std::vector<QTreeWidgetItem*> m_nodes;
  QTreeWidgetItem* m_subNode = nullptr;
};

TEST_F(FileTreeTest, CheckingAGroupChecksAllItsNodes) {
  QSignalSpy changed(&m_tree, &CFileTreeUI::checkBoxSelectChanged);
  m_tree.SetNodeChecked(m_group, true);
  for (QTreeWidgetItem* node : m_nodes) EXPECT_EQ(node->checkState(0), Qt::Checked);
  EXPECT_EQ(m_subNode->checkState(0), Qt::Checked);
  EXPECT_EQ(changed.count(), 1);

  m_tree.SetNodeChecked(m_group, false);
  for (QTreeWidgetItem* node : m_nodes) EXPECT_EQ(node->checkState(0), Qt::Unchecked);
  EXPECT_EQ(m_subNode->checkState(0), Qt::Unchecked);
}

TEST_F(FileTreeTest, ParentsFollowTheirChildren) {
  m_tree.SetNodeChecked(m_group, true);
  m_tree.SetNodeChecked(m_nodes[1], false);
  EXPECT_EQ(m_group->checkState(0), Qt::PartiallyChecked);

  m_tree.SetNodeChecked(m_nodes[0], false);
  m_tree.SetNodeChecked(m_nodes[2], false);
  EXPECT_EQ(m_group->checkState(0), Qt::Unchecked);

  // A change two levels down reaches every ancestor.
  m_tree.SetNodeChecked(m_subNode, true);
  EXPECT_EQ(m_nodes[0]->checkState(0), Qt::Checked);
  EXPECT_EQ(m_group->checkState(0), Qt::PartiallyChecked);

  for (QTreeWidgetItem* node : m_nodes) m_tree.SetNodeChecked(node, true);
  EXPECT_EQ(m_group->checkState(0), Qt::Checked);
}

TEST_F(FileTreeTest, ACheckBoxClickedInTheViewPropagatesAndNotifiesOnce) {
  QSignalSpy changed(&m_tree, &CFileTreeUI::checkBoxSelectChanged);
  m_group->setCheckState(0, Qt::Checked);  // what the view does on a click
  EXPECT_EQ(m_nodes[2]->checkState(0), Qt::Checked);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.at(0).at(0).value<QTreeWidgetItem*>(), m_group);

  m_nodes[2]->setText(0, "Calls");  // a change that is not the check box
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(m_group->checkState(0), Qt::Checked);
}

TEST_F(FileTreeTest, DoubleClickTogglesExpansionAndNotifies) {
  QSignalSpy expanded(&m_tree, &CFileTreeUI::itemExpand);
  emit m_tree.itemDoubleClicked(m_group, 0);  // what the view reports for a double click on the node
  EXPECT_TRUE(m_group->isExpanded());
  emit m_tree.itemDoubleClicked(m_group, 0);
  EXPECT_FALSE(m_group->isExpanded());
  EXPECT_EQ(expanded.count(), 2);
}

// Counts the pixels of exactly one colour in the label's picture.
int CountPixels(QWidget& widget, QColor color) {
  const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == color.rgb() ? 1 : 0;
  }
  return count;
}

TEST(LabelExTest, PaintsInTheTextOrDisabledColourAndWrapsInsideThePadding) {
  CLabelExUI label;
  QFont font = label.font();
  font.setPixelSize(30);
  font.setBold(true);
  label.setFont(font);
  label.setText("MMMM");
  label.setTextColor(QColor(255, 0, 0));
  label.setDisabledTextColor(QColor(0, 0, 255));
  label.resize(200, 60);
  EXPECT_GT(CountPixels(label, QColor(255, 0, 0)), 0);
  EXPECT_EQ(CountPixels(label, QColor(0, 0, 255)), 0);
  label.setEnabled(false);
  EXPECT_EQ(CountPixels(label, QColor(255, 0, 0)), 0);
  EXPECT_GT(CountPixels(label, QColor(0, 0, 255)), 0);

  label.setText("one two three four five six seven eight nine ten");
  label.setTextPadding(QMargins(10, 10, 10, 10));
  const int wide = label.heightForWidth(2000);
  const int narrow = label.heightForWidth(150);
  EXPECT_GT(narrow, wide);  // wrapped over more lines
  label.setTextPadding(QMargins(10, 30, 10, 30));
  EXPECT_EQ(label.heightForWidth(2000), wide + 40);
}

}  // namespace
}  // namespace scrivel::gui
