#include "setup/window/qt_message_boxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace quillon {
namespace {

QMessageBox::StandardButton StandardButtonOf(platform::MessageAnswer answer) {
  switch (answer) {
    case platform::MessageAnswer::kOk:
      return QMessageBox::Ok;
    case platform::MessageAnswer::kCancel:
      return QMessageBox::Cancel;
    case platform::MessageAnswer::kYes:
      return QMessageBox::Yes;
    case platform::MessageAnswer::kNo:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(platform::MessageIcon icon) {
  switch (icon) {
    case platform::MessageIcon::kNone:
      return QMessageBox::NoIcon;
    case platform::MessageIcon::kInformation:
      return QMessageBox::Information;
    case platform::MessageIcon::kExclamation:
      return QMessageBox::Warning;
    case platform::MessageIcon::kQuestion:
      return QMessageBox::Question;
    case platform::MessageIcon::kCritical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

platform::MessageAnswer QtMessageBoxes::Show(const platform::MessageBoxRequest& request) {
  // Messages may break lines with CR LF, CR or LF.
  QString text = QString::fromStdString(request.text);
  text.replace("\r\n", "\n").replace('\r', '\n');

  QMessageBox box(IconOf(request.icon), QString::fromStdString(request.title), text,
                  QMessageBox::NoButton, owner_);
  const std::span<const platform::MessageAnswer> answers = platform::ButtonsOf(request.buttons);
  for (platform::MessageAnswer answer : answers) box.addButton(StandardButtonOf(answer));
  box.setDefaultButton(StandardButtonOf(platform::DefaultAnswer(request)));
  // The close box and Escape answer Cancel or No when the set has one, as
  // a classic message box does; an OK-only box answers OK.
  for (platform::MessageAnswer answer : answers) {
    if (answer == platform::MessageAnswer::kCancel || answer == platform::MessageAnswer::kNo) {
      box.setEscapeButton(StandardButtonOf(answer));
    }
  }
  box.exec();

  QAbstractButton* clicked = box.clickedButton();
  for (platform::MessageAnswer answer : answers) {
    if (clicked == box.button(StandardButtonOf(answer))) return answer;
  }
  // Closed without a button (an OK-only box, or a box nobody could answer).
  for (platform::MessageAnswer answer : answers) {
    if (answer == platform::MessageAnswer::kCancel || answer == platform::MessageAnswer::kNo) {
      return answer;
    }
  }
  return answers.empty() ? platform::MessageAnswer::kOk : answers.front();
}

}  // namespace quillon
