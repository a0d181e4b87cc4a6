// The base of the task windows (backup password, preview progress, export,
// print): a skinned modal dialog over the main window. A subclass fills
// body() with its controls and overrides OnInit, which runs once when the
// window first shows; ShowModal returns 1 for "okbtn" and 2 for "closebtn",
// "cancelbtn" or Escape.
#pragma once

#include <string>

#include "gui/dialogs/skin_dialog.h"

namespace scrivel::gui {

class CPopUpWnd : public CSkinDialog {
  Q_OBJECT

 public:
  // skinName names the subclass's skin: its language section by default and
  // its style sheet selector.
  explicit CPopUpWnd(const QString& skinName);

  // Places the window over owner at width x height, centred on it.
  void Create(QWidget* owner, int width, int height);
  // Runs the window modally and returns its result.
  int ShowModal();
  // Sets the texts of the section's controls (no enable step).
  void ApplyTexts(const std::string& sectionName);

 protected:
  virtual void OnInit() {}
  void showEvent(QShowEvent* event) override;

 private:
  bool m_initialised = false;
};

}  // namespace scrivel::gui
