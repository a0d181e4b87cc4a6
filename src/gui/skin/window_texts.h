// Puts the texts of a language-file section on the controls of a window:
// each key of the section names a control (its objectName), each value is
// the text that control shows. Keys that name no control are ignored.
#pragma once

#include <string>

class QObject;

namespace scrivel::gui {

// The main window's and the pages' form: a disabled control is enabled while
// its text changes and disabled again, and the layout around each changed
// control is redone.
void ApplyWindowTexts(QObject* window, const std::string& sectionName);

// The pop-ups' and menus' form: the texts are set without the enable step.
// Controls include menu actions.
void ApplyTexts(QObject* window, const std::string& sectionName);

}  // namespace scrivel::gui
