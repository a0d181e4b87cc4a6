#include "gui/dialogs/message_box.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "core/common/language_strings.h"
#include "gui/controls/text_ui.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

namespace {

struct KindSkin {
  const char* skinName;  // object name of the box and base name of its skin
  const char* icon;      // resource path of the kind's icon
  const char* titleId;   // message id of the default title
  bool hasCancel;        // a "cancelbtn" besides "okbtn" and "closebtn"
};

constexpr std::array<KindSkin, 5> kKindSkins{{
    {"MessageBox_Error", ":/skins/MessageBox/error.svg", "MSG0401", false},
    {"MessageBox_Confirm", ":/skins/MessageBox/confirmation.svg", "MSG0402", true},
    {"MessageBox_Information", ":/skins/MessageBox/information.svg", "MSG0403", false},
    {"MessageBox_Warning", ":/skins/MessageBox/warning.svg", "MSG0405", false},
    {"MessageBox_Question", ":/skins/MessageBox/question.svg", "MSG0404", true},
}};

constexpr int kIconSize = 40;

int KindIndex(int kind) {
  return kind >= 0 && kind < static_cast<int>(kKindSkins.size()) ? kind : kMessageError;
}

}  // namespace

CMessageBox::CMessageBox(QWidget* owner, int kind)
    : CSkinDialog(owner, QString::fromLatin1(kKindSkins[static_cast<size_t>(KindIndex(kind))].skinName)),
      m_kindIndex(KindIndex(kind)) {
  BuildBody(kKindSkins[static_cast<size_t>(m_kindIndex)].hasCancel);
  gui::ApplyTexts(this, "MessageBox");
}

void CMessageBox::BuildBody(bool hasCancel) {
  auto* icon = new QLabel(body());
  icon->setObjectName(QStringLiteral("icon"));
  icon->setPixmap(QIcon(iconResource()).pixmap(QSize(kIconSize, kIconSize), qApp->devicePixelRatio()));
  icon->setAlignment(Qt::AlignCenter);
  icon->setFixedWidth(kIconSize + 8);

  m_message = new CTextUI(QStringLiteral("message"), body());
  m_message->setWordWrap(true);
  m_message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_message->setTextFormat(Qt::PlainText);  // message texts may hold file names with any characters
  m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* textRow = new QHBoxLayout();
  textRow->setSpacing(14);
  textRow->addWidget(icon);
  textRow->addWidget(m_message, 1);

  auto* buttonRow = new QHBoxLayout();
  buttonRow->addStretch(1);
  if (hasCancel) {
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), body());
    cancel->setObjectName(QStringLiteral("cancelbtn"));
    buttonRow->addWidget(cancel);
  }
  auto* ok = new QPushButton(QStringLiteral("OK"), body());
  ok->setObjectName(QStringLiteral("okbtn"));
  buttonRow->addWidget(ok);

  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(22, 14, 18, 16);
  layout->setSpacing(12);
  layout->addLayout(textRow, 1);
  layout->addLayout(buttonRow);
}

QString CMessageBox::skinFile() const {
  return QString::fromLatin1(kKindSkins[static_cast<size_t>(m_kindIndex)].skinName) + QStringLiteral(".xml");
}

QString CMessageBox::iconResource() const {
  return QString::fromLatin1(kKindSkins[static_cast<size_t>(m_kindIndex)].icon);
}

void CMessageBox::Prepare(const std::optional<QString>& title, const QString& text, int width, int height) {
  const KindSkin& skin = kKindSkins[static_cast<size_t>(m_kindIndex)];
  titleLabel()->setText(title ? *title : QString::fromStdString(CLanguageStrings::Instance().Message(skin.titleId)));
  m_message->setText(text);
  resize(width, height);
  CentreOverOwner();
}

int CMessageBox::Show(const std::optional<QString>& title, const QString& text, int width, int height) {
  Prepare(title, text, width, height);
  return exec();
}

int ShowMessageBox(QWidget* owner, int kind, const std::optional<QString>& title, const QString& text, int width,
                   int height) {
  CMessageBox box(owner, kind);
  return box.Show(title, text, width, height);
}

}  // namespace scrivel::gui
