// The main dialog's template: its size, its controls in tab order with their
// ids, texts and places in dialog units, and the conversion of dialog units to
// pixels through the dialog font's metrics.
#pragma once

#include <span>
#include <string_view>

namespace exqrv::dialog {

// Control ids.
inline constexpr int kExitButtonId = 1;
inline constexpr int kDocumentFileListId = 1011;
inline constexpr int kDocumentSelectorId = 1012;
inline constexpr int kDocumentUpButtonId = 1013;
inline constexpr int kDocumentLabelId = 1014;
inline constexpr int kTextFileListId = 1015;
inline constexpr int kTextSelectorId = 1016;
inline constexpr int kTextUpButtonId = 1017;
inline constexpr int kTextLabelId = 1018;
inline constexpr int kConvertButtonId = 1019;
inline constexpr int kLogScrollBarId = 1024;
inline constexpr int kFirstLogLineId = 1025;  // 1025 to 1030, top to bottom
inline constexpr int kNoId = -1;              // the icon and the log frame

inline constexpr int kVisibleLogLines = 6;

inline constexpr std::string_view kDialogTitle = "Quillor QRV to Text QRT";

// A rectangle in dialog units.
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

inline constexpr DialogRect kDialogSize{0, 0, 323, 182};

enum class ControlKind {
  PushButton,
  FileList,
  DirectorySelector,
  Label,
  Icon,
  Frame,
  ScrollBar,
  LogLine,
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::string_view text;
  DialogRect rect;
  bool tabStop;
  std::string_view toolTip;
};

// Every control, in template order (which is also the tab order).
std::span<const ControlTemplate> DialogControls();
const ControlTemplate* FindControlTemplate(int id);

// Dialog units of the dialog font: a horizontal unit is a quarter of the
// average character width, a vertical unit an eighth of the character height.
struct DialogUnits {
  int baseWidth = 0;   // average character width, pixels
  int baseHeight = 0;  // character height, pixels

  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

PixelRect ToPixels(const DialogUnits& units, const DialogRect& rect);

// The average character width from the width of the 52 letters A-Z and a-z
// set side by side, rounded to the nearest pixel.
int AverageCharWidth(int widthOfAlphabet);

inline constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace exqrv::dialog
