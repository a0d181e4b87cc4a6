// "LabelEx": the label of the chat bubbles. It paints its own text inside its
// rectangle less the text padding, wrapped over as many lines as it needs,
// in the text colour when enabled and the disabled text colour otherwise.
// Enabled, the text may carry rich-text markup; disabled it is plain.
#pragma once

#include <QColor>
#include <QLabel>
#include <QMargins>

namespace scrivel::gui {

class CLabelExUI : public QLabel {
  Q_OBJECT

 public:
  explicit CLabelExUI(QWidget* parent = nullptr);

  void setTextPadding(QMargins padding);
  QMargins textPadding() const { return m_textPadding; }
  void setTextColor(QColor color);
  QColor textColor() const { return m_textColor; }
  void setDisabledTextColor(QColor color);
  QColor disabledTextColor() const { return m_disabledTextColor; }

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor PaintColor() const;
  bool UsesMarkup() const;

  QMargins m_textPadding{6, 4, 6, 4};
  QColor m_textColor;
  QColor m_disabledTextColor;
};

}  // namespace scrivel::gui
