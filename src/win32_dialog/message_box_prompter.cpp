#include "win32_dialog/message_box_prompter.h"

#include <string>

namespace exqrv::win32ui {
namespace {

UINT BoxButtons(platform::Buttons buttons) {
  switch (buttons) {
    case platform::Buttons::Ok: return MB_OK;
    case platform::Buttons::OkCancel: return MB_OKCANCEL;
    case platform::Buttons::YesNo: return MB_YESNO;
  }
  return MB_OK;
}

UINT BoxIcon(platform::Icon icon) {
  switch (icon) {
    case platform::Icon::Stop: return MB_ICONSTOP;
    case platform::Icon::Question: return MB_ICONQUESTION;
    case platform::Icon::Exclamation: return MB_ICONEXCLAMATION;
  }
  return 0;
}

platform::Answer ToAnswer(int clicked) {
  switch (clicked) {
    case IDOK: return platform::Answer::Ok;
    case IDYES: return platform::Answer::Yes;
    case IDNO: return platform::Answer::No;
    default: return platform::Answer::Cancel;
  }
}

}  // namespace

platform::Answer MessageBoxPrompter::Show(std::string_view text, platform::Buttons buttons,
                                          platform::Icon icon) {
  const std::string boxText(text);
  const std::string caption(platform::kApplicationName);
  // The question may come in the middle of a batch, under the wait cursor.
  const HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_ARROW));
  const int clicked =
      MessageBoxA(owner_, boxText.c_str(), caption.c_str(), BoxButtons(buttons) | BoxIcon(icon));
  SetCursor(previous);
  return ToAnswer(clicked);
}

}  // namespace exqrv::win32ui
