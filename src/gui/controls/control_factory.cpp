#include "gui/controls/control_factory.h"

#include "gui/controls/button_gif_ui.h"
#include "gui/controls/file_tree_ui.h"
#include "gui/controls/label_ex_ui.h"

namespace scrivel::gui {

QWidget* CreateSkinControl(const QString& elementName, QWidget* parent) {
  if (elementName == QLatin1String("FileTree")) return new CFileTreeUI(parent);
  if (elementName == QLatin1String("ButtonGif")) return new CButtonGifUI(parent);
  if (elementName == QLatin1String("LabelEx")) return new CLabelExUI(parent);
  return nullptr;
}

}  // namespace scrivel::gui
