// Texts of a language section reach the controls named by its keys, and a
// disabled control gets its text and stays disabled.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/common/language_strings.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {
namespace {

class WindowTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& section = CLanguageStrings::Instance().GetSection("GuiTestSection");
    section = {{"LblDisabled", "Alpha"}, {"BtnPlain", "Beta"}, {"item_test", "Gamma"},
               {"LblInDisabledPanel", "Delta"}, {"NoSuchControl", "Epsilon"}, {"Panel", "Zeta"}};
    m_disabledLabel = AddLabel("LblDisabled");
    m_disabledLabel->setEnabled(false);
    m_button = new QPushButton(&m_window);
    m_button->setObjectName("BtnPlain");
    m_layout->addWidget(m_button);
    m_panel = new QWidget(&m_window);
    m_panel->setObjectName("Panel");
    m_panel->setEnabled(false);
    m_labelInPanel = new QLabel(m_panel);
    m_labelInPanel->setObjectName("LblInDisabledPanel");
    m_layout->addWidget(m_panel);
    m_action = new QAction(&m_window);
    m_action->setObjectName("item_test");
  }

  QLabel* AddLabel(const char* name) {
    auto* label = new QLabel(&m_window);
    label->setObjectName(name);
    m_layout->addWidget(label);
    return label;
  }

  QWidget m_window;
  QVBoxLayout* m_layout = new QVBoxLayout(&m_window);
  QLabel* m_disabledLabel = nullptr;
  QPushButton* m_button = nullptr;
  QWidget* m_panel = nullptr;
  QLabel* m_labelInPanel = nullptr;
  QAction* m_action = nullptr;
};

TEST_F(WindowTextsTest, DisabledControlGetsItsTextAndStaysDisabled) {
  ApplyWindowTexts(&m_window, "GuiTestSection");
  EXPECT_EQ(m_disabledLabel->text(), "Alpha");
  EXPECT_FALSE(m_disabledLabel->isEnabled());
  EXPECT_EQ(m_button->text(), "Beta");
  EXPECT_TRUE(m_button->isEnabled());
  EXPECT_EQ(m_action->text(), "Gamma");
}

TEST_F(WindowTextsTest, ControlDisabledOnlyThroughItsParentIsNotDisabledItself) {
  ApplyWindowTexts(&m_window, "GuiTestSection");
  EXPECT_EQ(m_labelInPanel->text(), "Delta");
  EXPECT_FALSE(m_labelInPanel->testAttribute(Qt::WA_ForceDisabled));
  m_panel->setEnabled(true);
  EXPECT_TRUE(m_labelInPanel->isEnabled());
}

TEST_F(WindowTextsTest, PlainFormSetsTextsAndIgnoresUnknownKeysAndTextlessControls) {
  ApplyTexts(&m_window, "GuiTestSection");
  EXPECT_EQ(m_disabledLabel->text(), "Alpha");
  EXPECT_FALSE(m_disabledLabel->isEnabled());
  EXPECT_EQ(m_action->text(), "Gamma");
  // "Panel" is a plain widget without a text: no dynamic property appears.
  EXPECT_FALSE(m_panel->dynamicPropertyNames().contains("text"));
}

}  // namespace
}  // namespace scrivel::gui
