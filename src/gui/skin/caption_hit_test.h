// Decides whether a mouse press at a point of a frameless window drags the
// window (the caption) or reaches the control under it. Shared by the main
// window and the pop-ups; the resize zones along the border are separate
// grip widgets (resize_grips.h) that lie above everything else.
#pragma once

#include <QPoint>

class QWidget;

namespace scrivel::gui {

// True for the controls that keep their own mouse presses inside the caption
// band: buttons, options and check boxes, text controls and edits.
bool IsCaptionExcluded(const QWidget* control);

// True when a press at point (frame coordinates) drags the window: the point
// lies in the top captionHeight pixels and over a control that is not
// excluded. A point over no control is not caption.
bool IsCaptionPoint(QPoint point, int captionHeight, const QWidget* controlUnderPoint);

}  // namespace scrivel::gui
