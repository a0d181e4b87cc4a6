// A text control of the skins ("Txt..." names): a label whose colour the
// window sets at run time and that keeps mouse presses from dragging the
// window when it sits in a caption band.
#pragma once

#include <QColor>
#include <QLabel>

namespace scrivel::gui {

class CTextUI : public QLabel {
  Q_OBJECT

 public:
  explicit CTextUI(const QString& objectName, QWidget* parent = nullptr);

  // Paints the text in color from now on.
  void setTextColor(QColor color);
  QColor textColor() const { return m_textColor; }

 private:
  QColor m_textColor;  // the colour last set; the palette's text colour until then
};

}  // namespace scrivel::gui
