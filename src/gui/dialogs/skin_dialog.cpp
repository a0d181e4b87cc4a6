#include "gui/dialogs/skin_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/skin/caption_dragger.h"

namespace scrivel::gui {

CSkinDialog::CSkinDialog(QWidget* owner, const QString& objectName)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(objectName);
  setProperty("skinDialog", true);  // style sheet selector shared by every dialog skin
  setModal(true);

  auto* caption = new QWidget(this);
  caption->setObjectName(QStringLiteral("CaptionBand"));
  caption->setFixedHeight(kCaptionHeight);
  caption->setAttribute(Qt::WA_StyledBackground);
  m_title = new QLabel(caption);
  m_title->setObjectName(QStringLiteral("title"));
  auto* closeButton = new QPushButton(caption);
  closeButton->setObjectName(QStringLiteral("closebtn"));
  closeButton->setToolTip(QStringLiteral("Close"));
  closeButton->setCursor(Qt::PointingHandCursor);
  auto* captionLayout = new QHBoxLayout(caption);
  captionLayout->setContentsMargins(16, 0, 6, 0);
  captionLayout->addWidget(m_title, 1);
  captionLayout->addWidget(closeButton);

  m_body = new QWidget(this);
  m_body->setObjectName(QStringLiteral("DialogBody"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);  // the hairline border drawn by the style sheet
  layout->setSpacing(0);
  layout->addWidget(caption);
  layout->addWidget(m_body, 1);

  new CCaptionDragger(this, kCaptionHeight + 1, false);  // owned by the dialog
}

CSkinDialog::~CSkinDialog() = default;

void CSkinDialog::CentreOverOwner() {
  QRect area;
  if (parentWidget() != nullptr) {
    area = parentWidget()->window()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

void CSkinDialog::BindResultButtons() {
  if (m_resultButtonsBound) return;
  m_resultButtonsBound = true;
  const auto bind = [this](const char* name, int result) {
    for (QPushButton* button : findChildren<QPushButton*>(QLatin1String(name))) {
      connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    }
  };
  bind("okbtn", kResultOk);
  bind("cancelbtn", kResultCancel);
  bind("closebtn", kResultCancel);
}

void CSkinDialog::showEvent(QShowEvent* event) {
  // Push buttons in dialogs answer Enter by default; here Enter does nothing.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  BindResultButtons();  // on first show, when the subclass has added its buttons
  QDialog::showEvent(event);
}

void CSkinDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      done(kResultCancel);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace scrivel::gui
