#include "gui/skin/window_texts.h"

#include <QAction>
#include <QLayout>
#include <QWidget>

#include "core/common/language_strings.h"

namespace scrivel::gui {

namespace {

enum class TextUpdate { kPlain, kEnableDisabledControls };

// The control named name below window (or window itself): a widget first,
// else a menu action.
QObject* FindControl(QObject* window, const QString& name) {
  if (window->objectName() == name) return window;
  if (QWidget* widget = window->findChild<QWidget*>(name)) return widget;
  return window->findChild<QAction*>(name);
}

bool HasTextProperty(const QObject* control) {
  return control->metaObject()->indexOfProperty("text") >= 0;
}

void Relayout(QWidget* control) {
  control->updateGeometry();
  QWidget* parent = control->parentWidget();
  if (parent != nullptr && parent->layout() != nullptr) parent->layout()->activate();
}

void SetControlText(QObject* control, const QString& text, TextUpdate update) {
  QWidget* widget = qobject_cast<QWidget*>(control);
  // Only a control disabled by itself is enabled for the change; one that is
  // disabled through a parent must not end up disabled on its own.
  const bool reenable =
      update == TextUpdate::kEnableDisabledControls && widget != nullptr && widget->testAttribute(Qt::WA_ForceDisabled);
  if (reenable) widget->setEnabled(true);
  control->setProperty("text", text);
  if (reenable) widget->setEnabled(false);
  if (update == TextUpdate::kEnableDisabledControls && widget != nullptr) Relayout(widget);
}

void SetSectionTexts(QObject* window, const std::string& sectionName, TextUpdate update) {
  if (window == nullptr) return;
  const auto& section = CLanguageStrings::Instance().GetSection(sectionName);
  for (const auto& [key, text] : section) {
    QObject* control = FindControl(window, QString::fromStdString(key));
    if (control == nullptr || !HasTextProperty(control)) continue;
    SetControlText(control, QString::fromStdString(text), update);
  }
}

}  // namespace

void ApplyWindowTexts(QObject* window, const std::string& sectionName) {
  SetSectionTexts(window, sectionName, TextUpdate::kEnableDisabledControls);
}

void ApplyTexts(QObject* window, const std::string& sectionName) {
  SetSectionTexts(window, sectionName, TextUpdate::kPlain);
}

}  // namespace scrivel::gui
