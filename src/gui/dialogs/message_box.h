// The application's message box, in five kinds, each with its skin, icon
// and default title (a message id of the language file):
//
//   kind                skin                           title id  buttons
//   0 error             "MessageBox_Error"             MSG0401   ok, close
//   1 confirmation      "MessageBox_Confirm"           MSG0402   ok, cancel, close
//   2 information       "MessageBox_Information"       MSG0403   ok, close
//   3 warning           "MessageBox_Warning"           MSG0405   ok, close
//   4 question          "MessageBox_Question"          MSG0404   ok, cancel, close
//   any other           as error
//
// Show returns 1 for "okbtn" and 2 for "closebtn", "cancelbtn" or Escape.
#pragma once

#include <QString>
#include <optional>

#include "gui/dialogs/skin_dialog.h"

class QLabel;

namespace scrivel::gui {

enum MessageBoxKind : int {
  kMessageError = 0,
  kMessageConfirm = 1,
  kMessageInformation = 2,
  kMessageWarning = 3,
  kMessageQuestion = 4,
};

class CMessageBox : public CSkinDialog {
  Q_OBJECT

 public:
  // A box of kind over owner (null: centred on the screen).
  CMessageBox(QWidget* owner, int kind);

  // Sets the texts and size: title (the kind's default title when absent)
  // and text, width x height pixels, centred. Show calls it; the screenshot
  // tool calls it alone.
  void Prepare(const std::optional<QString>& title, const QString& text, int width, int height);

  // Prepares the box and runs it modally; returns 1 or 2.
  int Show(const std::optional<QString>& title, const QString& text, int width, int height);

  QString skinFile() const;       // e.g. "MessageBox_Error.xml"
  QString iconResource() const;   // the kind's icon in the skin resources

 private:
  void BuildBody(bool hasCancel);

  int m_kindIndex;  // row of the kind table (unknown kinds use the error row)
  QLabel* m_message = nullptr;
};

// The usual way to ask: a box of kind over owner, run at once.
int ShowMessageBox(QWidget* owner, int kind, const std::optional<QString>& title, const QString& text, int width,
                   int height);

}  // namespace scrivel::gui
