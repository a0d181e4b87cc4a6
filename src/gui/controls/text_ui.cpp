#include "gui/controls/text_ui.h"

namespace scrivel::gui {

CTextUI::CTextUI(const QString& objectName, QWidget* parent) : QLabel(parent) {
  setObjectName(objectName);
  m_textColor = palette().color(QPalette::WindowText);
}

void CTextUI::setTextColor(QColor color) {
  m_textColor = color;
  // A style sheet rule that matches the control would override a palette
  // colour; the control's own sheet wins over the application's.
  setStyleSheet(QStringLiteral("color: %1;").arg(color.name(QColor::HexArgb)));
}

}  // namespace scrivel::gui
