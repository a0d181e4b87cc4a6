// Creates the controls that the skins name but Qt does not provide:
// "ButtonGif", "LabelEx" and "FileTree". Pages build their layouts through
// it, so a skin element name always yields the same control type.
#pragma once

#include <QString>

class QWidget;

namespace scrivel::gui {

// A new control for elementName (compared exactly), owned by parent; null
// for any other name.
QWidget* CreateSkinControl(const QString& elementName, QWidget* parent);

}  // namespace scrivel::gui
