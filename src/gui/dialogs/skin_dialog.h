// The frame shared by the pop-ups and the message boxes: a frameless modal
// dialog with a caption band (a "title" label and a "closebtn") that drags
// it, and a body below for the dialog's own controls.
//
// Results: "okbtn" closes with 1, "closebtn" and "cancelbtn" with 2, and so
// does Escape. Enter is swallowed, so it never presses a button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace scrivel::gui {

class CSkinDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;
  static constexpr int kCaptionHeight = 36;

  // objectName names the skin (for the style sheet and the language file);
  // owner may be null (the dialog then centres on the screen).
  CSkinDialog(QWidget* owner, const QString& objectName);
  ~CSkinDialog() override;

  // The area below the caption band, for the dialog's controls.
  QWidget* body() const { return m_body; }
  QLabel* titleLabel() const { return m_title; }

  // Moves the dialog to the centre of its owner, or of the screen without one.
  void CentreOverOwner();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BindResultButtons();

  QWidget* m_body = nullptr;
  QLabel* m_title = nullptr;
  bool m_resultButtonsBound = false;
};

}  // namespace scrivel::gui
