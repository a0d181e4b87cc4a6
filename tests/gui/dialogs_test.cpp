// The message box of every kind and the pop-up base: results of OK, close,
// cancel and Escape, Enter doing nothing, skins and default titles.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/common/language_strings.h"
#include "gui/dialogs/message_box.h"
#include "gui/dialogs/popup_wnd.h"

namespace scrivel::gui {
namespace {

enum class Action { kOk, kClose, kCancel, kEscape };

// Runs dialog modally and performs action once its loop runs.
template <typename Run>
int RunWith(QDialog& dialog, Action action, Run run) {
  QTimer::singleShot(0, &dialog, [&dialog, action] {
    switch (action) {
      case Action::kOk:
        dialog.findChild<QPushButton*>("okbtn")->click();
        break;
      case Action::kClose:
        dialog.findChild<QPushButton*>("closebtn")->click();
        break;
      case Action::kCancel:
        dialog.findChild<QPushButton*>("cancelbtn")->click();
        break;
      case Action::kEscape:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    }
  });
  return run();
}

struct KindCase {
  int kind;
  const char* skin;
  const char* titleId;
  bool hasCancel;
};

const KindCase kKinds[] = {
    {kMessageError, "MessageBox_Error.xml", "MSG0401", false},
    {kMessageConfirm, "MessageBox_Confirm.xml", "MSG0402", true},
    {kMessageInformation, "MessageBox_Information.xml", "MSG0403", false},
    {kMessageWarning, "MessageBox_Warning.xml", "MSG0405", false},
    {kMessageQuestion, "MessageBox_Question.xml", "MSG0404", true},
    {7, "MessageBox_Error.xml", "MSG0401", false},
    {-1, "MessageBox_Error.xml", "MSG0401", false},
};

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Distinct titles, so that a swapped id shows.
    auto& messages = CLanguageStrings::Instance().GetSection("Messages");
    for (const char* id : {"MSG0401", "MSG0402", "MSG0403", "MSG0404", "MSG0405"}) {
      messages[id] = std::string("title ") + id;
    }
  }
};

TEST_F(MessageBoxTest, EveryKindAnswersOneForOkAndTwoOtherwise) {
  for (const KindCase& kind : kKinds) {
    std::vector<std::pair<Action, int>> actions{{Action::kOk, 1}, {Action::kClose, 2}, {Action::kEscape, 2}};
    if (kind.hasCancel) actions.emplace_back(Action::kCancel, 2);
    for (const auto& [action, expected] : actions) {
      CMessageBox box(nullptr, kind.kind);
      const int result = RunWith(box, action, [&box] { return box.Show(std::nullopt, "text", 550, 200); });
      EXPECT_EQ(result, expected) << "kind " << kind.kind << " action " << static_cast<int>(action);
    }
  }
}

TEST_F(MessageBoxTest, KindChoosesSkinButtonsAndDefaultTitle) {
  for (const KindCase& kind : kKinds) {
    CMessageBox box(nullptr, kind.kind);
    box.Prepare(std::nullopt, "the text", 550, 200);
    EXPECT_EQ(box.skinFile(), kind.skin) << "kind " << kind.kind;
    EXPECT_EQ(box.titleLabel()->text().toStdString(), std::string("title ") + kind.titleId) << "kind " << kind.kind;
    EXPECT_EQ(box.findChild<QPushButton*>("cancelbtn") != nullptr, kind.hasCancel) << "kind " << kind.kind;
    EXPECT_NE(box.findChild<QPushButton*>("okbtn"), nullptr);
    EXPECT_NE(box.findChild<QPushButton*>("closebtn"), nullptr);
    EXPECT_EQ(box.findChild<QLabel*>("message")->text(), "the text");
    EXPECT_EQ(box.size(), QSize(550, 200));
  }
}

TEST_F(MessageBoxTest, GivenTitleReplacesTheDefault) {
  CMessageBox box(nullptr, kMessageQuestion);
  box.Prepare(QStringLiteral("Quit?"), "text", 550, 200);
  EXPECT_EQ(box.titleLabel()->text(), "Quit?");
}

TEST_F(MessageBoxTest, EnterPressesNoButton) {
  CMessageBox box(nullptr, kMessageConfirm);
  bool stillOpenAfterEnter = false;
  QTimer::singleShot(0, &box, [&] {
    auto* ok = box.findChild<QPushButton*>("okbtn");
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Return);
    QTest::keyClick(&box, Qt::Key_Enter);
    stillOpenAfterEnter = box.isVisible();
    box.findChild<QPushButton*>("cancelbtn")->click();
  });
  EXPECT_EQ(box.Show(std::nullopt, "text", 550, 200), 2);
  EXPECT_TRUE(stillOpenAfterEnter);
}

class TestPopUp : public CPopUpWnd {
 public:
  TestPopUp() : CPopUpWnd(QStringLiteral("TestPopUpWnd")) {
    auto* ok = new QPushButton(QStringLiteral("Go"), body());
    ok->setObjectName(QStringLiteral("okbtn"));
    ok->move(10, 10);
  }
  int initCount = 0;

 protected:
  void OnInit() override { ++initCount; }
};

TEST(PopUpWndTest, ResultsAndInitialisation) {
  QWidget owner;
  owner.resize(800, 600);
  owner.show();
  const std::pair<Action, int> actions[] = {{Action::kOk, 1}, {Action::kClose, 2}, {Action::kEscape, 2}};
  for (const auto& [action, expected] : actions) {
    TestPopUp popUp;
    popUp.Create(&owner, 420, 240);
    EXPECT_EQ(popUp.size(), QSize(420, 240));
    EXPECT_EQ(popUp.parentWidget(), &owner);
    const int result = RunWith(popUp, action, [&popUp] { return popUp.ShowModal(); });
    EXPECT_EQ(result, expected) << "action " << static_cast<int>(action);
    EXPECT_EQ(popUp.initCount, 1);
  }
}

}  // namespace
}  // namespace scrivel::gui
