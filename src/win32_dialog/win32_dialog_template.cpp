// The dialog template as the dialog manager reads it from memory: a
// DLGTEMPLATE with its title and font, then one DLGITEMTEMPLATE per control,
// each starting on a DWORD boundary.
#include <cstring>

#include "win32_dialog/win32_main_dialog.h"

namespace exqrv::win32ui {
namespace {

using dialog::ControlKind;
using dialog::ControlTemplate;

// The predefined control classes, by the atoms a template names them with.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kListBoxAtom = 0x0083;
constexpr WORD kScrollBarAtom = 0x0084;
constexpr WORD kComboBoxAtom = 0x0085;

constexpr WORD kOrdinalMark = 0xFFFF;
constexpr WORD kDialogFontPoints = 10;
constexpr std::string_view kDialogFont = "System";

WORD ClassAtom(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton: return kButtonAtom;
    case ControlKind::FileList: return kListBoxAtom;
    case ControlKind::DirectorySelector: return kComboBoxAtom;
    case ControlKind::ScrollBar: return kScrollBarAtom;
    case ControlKind::Label:
    case ControlKind::Icon:
    case ControlKind::Frame:
    case ControlKind::LogLine: return kStaticAtom;
  }
  return kStaticAtom;
}

// Writes 16-bit words; a template is made of WORDs and DWORDs.
class TemplateWriter {
 public:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Short(int value) { Word(static_cast<WORD>(static_cast<short>(value))); }
  // The template's texts are UTF-16; ours are ASCII.
  void Text(std::string_view text) {
    for (const char c : text) Word(static_cast<unsigned char>(c));
    Word(0);
  }
  void AlignToDword() {
    if (words_.size() % 2 != 0) Word(0);
  }
  std::vector<DWORD> Finish() {
    AlignToDword();
    std::vector<DWORD> dwords(words_.size() / 2);
    std::memcpy(dwords.data(), words_.data(), words_.size() * sizeof(WORD));
    return dwords;
  }

 private:
  std::vector<WORD> words_;
};

}  // namespace

std::string_view ControlClass(ControlKind kind) {
  switch (ClassAtom(kind)) {
    case kButtonAtom: return "Button";
    case kListBoxAtom: return "ListBox";
    case kComboBoxAtom: return "ComboBox";
    case kScrollBarAtom: return "ScrollBar";
    default: return "Static";
  }
}

DWORD ControlStyle(const ControlTemplate& control) {
  DWORD style = WS_CHILD | WS_VISIBLE | (control.tabStop ? WS_TABSTOP : 0);
  switch (control.kind) {
    case ControlKind::PushButton:
      return style | (control.id == dialog::kExitButtonId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    case ControlKind::FileList:
      // The document list takes many documents at once, the text list one.
      return style | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
             WS_VSCROLL | WS_BORDER |
             (control.id == dialog::kDocumentFileListId ? LBS_EXTENDEDSEL : 0);
    case ControlKind::DirectorySelector:
      return style | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL;
    case ControlKind::Label: return style | WS_GROUP | SS_LEFT | SS_NOPREFIX;
    case ControlKind::Icon: return style | SS_ICON;
    case ControlKind::Frame: return style | SS_GRAYFRAME | WS_BORDER;
    // Hidden until the seventh log line.
    case ControlKind::ScrollBar: return (style & ~WS_VISIBLE) | SBS_VERT;
    // One line each, cut at the edge: a wrapping style would show only the
    // first word of a long line.
    case ControlKind::LogLine: return style | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
  }
  return style;
}

std::vector<DWORD> BuildDialogTemplate() {
  const auto controls = dialog::DialogControls();
  TemplateWriter out;
  out.Dword(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  out.Dword(WS_EX_APPWINDOW);  // shown in the task bar
  out.Word(static_cast<WORD>(controls.size()));
  out.Short(dialog::kDialogSize.x);
  out.Short(dialog::kDialogSize.y);
  out.Short(dialog::kDialogSize.width);
  out.Short(dialog::kDialogSize.height);
  out.Word(0);  // no menu
  out.Word(0);  // the dialog class
  out.Text(dialog::kDialogTitle);
  out.Word(kDialogFontPoints);
  out.Text(kDialogFont);
  for (const ControlTemplate& control : controls) {
    out.AlignToDword();
    out.Dword(ControlStyle(control));
    out.Dword(0);
    out.Short(control.rect.x);
    out.Short(control.rect.y);
    out.Short(control.rect.width);
    out.Short(control.rect.height);
    out.Word(static_cast<WORD>(control.id));  // kNoId is the usual 0xFFFF
    out.Word(kOrdinalMark);
    out.Word(ClassAtom(control.kind));
    if (control.kind == ControlKind::Icon) {
      out.Word(kOrdinalMark);
      out.Word(kApplicationIconResource);
    } else {
      out.Text(control.text);
    }
    out.Word(0);  // no creation data
  }
  return out.Finish();
}

}  // namespace exqrv::win32ui
