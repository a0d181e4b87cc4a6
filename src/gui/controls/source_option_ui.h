// One of the two source options of the main window ("OptIosDevice",
// "OptBackupFile"): a checkable tile with an icon and two text lines. The
// text lines are the window's own text controls ("TxtIosDevice1" ...): it
// sets their colours when the selection changes. Presses on the lines reach
// the tile.
#pragma once

#include <QAbstractButton>

namespace scrivel::gui {

class CTextUI;

class CSourceOptionUI : public QAbstractButton {
  Q_OBJECT

 public:
  CSourceOptionUI(const QString& objectName, const QString& iconResource, const QString& firstLineName,
                  const QString& secondLineName, QWidget* parent = nullptr);

  CTextUI* firstLine() const { return m_firstLine; }
  CTextUI* secondLine() const { return m_secondLine; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  QIcon m_icon;
  CTextUI* m_firstLine;
  CTextUI* m_secondLine;
  bool m_hovered = false;
  bool m_keyboardFocus = false;  // focus came by keyboard: the focus frame shows
};

}  // namespace scrivel::gui
