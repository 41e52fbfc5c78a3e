#include "ui/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/display_text.h"

namespace exqrv::ui {
namespace {

QMessageBox::Icon BoxIcon(platform::Icon icon) {
  switch (icon) {
    case platform::Icon::Stop: return QMessageBox::Critical;
    case platform::Icon::Question: return QMessageBox::Question;
    case platform::Icon::Exclamation: return QMessageBox::Warning;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(platform::Buttons buttons) {
  switch (buttons) {
    case platform::Buttons::Ok: return QMessageBox::Ok;
    case platform::Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
  }
  return QMessageBox::Ok;
}

// A box closed without a button counts as its refusing button.
platform::Answer ToAnswer(int clicked, platform::Buttons buttons) {
  switch (clicked) {
    case QMessageBox::Ok: return platform::Answer::Ok;
    case QMessageBox::Cancel: return platform::Answer::Cancel;
    case QMessageBox::Yes: return platform::Answer::Yes;
    case QMessageBox::No: return platform::Answer::No;
    default: break;
  }
  switch (buttons) {
    case platform::Buttons::Ok: return platform::Answer::Ok;
    case platform::Buttons::OkCancel: return platform::Answer::Cancel;
    case platform::Buttons::YesNo: return platform::Answer::No;
  }
  return platform::Answer::Cancel;
}

// The messages are written with CR LF line ends.
QString BoxText(std::string_view text) {
  QString boxText = DisplayText(text);
  boxText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return boxText;
}

}  // namespace

platform::Answer QtPrompter::Show(std::string_view text, platform::Buttons buttons,
                                  platform::Icon icon) {
  QMessageBox box(BoxIcon(icon), DisplayText(platform::kApplicationName), BoxText(text),
                  BoxButtons(buttons), owner_);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(buttons == platform::Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok);
  // The question may come in the middle of a batch, under the wait cursor.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int clicked = box.exec();
  QApplication::restoreOverrideCursor();
  return ToAnswer(clicked, buttons);
}

}  // namespace exqrv::ui
