#include "gui/skin/caption_hit_test.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "gui/controls/text_ui.h"
#include "gui/skin/resize_grips.h"

namespace scrivel::gui {

bool IsCaptionExcluded(const QWidget* control) {
  return qobject_cast<const QAbstractButton*>(control) != nullptr ||  // buttons, options, check boxes
         qobject_cast<const CTextUI*>(control) != nullptr ||
         qobject_cast<const CResizeGrip*>(control) != nullptr ||  // the border resizes, never drags
         qobject_cast<const QLineEdit*>(control) != nullptr ||
         qobject_cast<const QTextEdit*>(control) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(control) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(control) != nullptr ||
         qobject_cast<const QComboBox*>(control) != nullptr;
}

bool IsCaptionPoint(QPoint point, int captionHeight, const QWidget* controlUnderPoint) {
  if (point.y() < 0 || point.y() >= captionHeight) return false;
  return controlUnderPoint != nullptr && !IsCaptionExcluded(controlUnderPoint);
}

}  // namespace scrivel::gui
