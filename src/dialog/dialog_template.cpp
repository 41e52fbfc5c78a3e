#include "dialog/dialog_template.h"

#include <array>

namespace exqrv::dialog {
namespace {

constexpr int kHorizontalUnitsPerChar = 4;
constexpr int kVerticalUnitsPerChar = 8;
constexpr int kAlphabetHalves = 26;  // 52 letters, halved to round

constexpr int kLogLineTop = 110;
constexpr int kLogLineStep = 10;

constexpr ControlTemplate LogLine(int k) {
  return {kFirstLogLineId + k,
          ControlKind::LogLine,
          "",
          {9, kLogLineTop + kLogLineStep * k, 240, 10},
          false,
          ""};
}

// One control per entry, as the table it mirrors lists them.
// clang-format off
constexpr std::array kControls{
    ControlTemplate{kExitButtonId, ControlKind::PushButton, "Exit", {266, 161, 50, 14}, true,
                    "Exit Quillor Extract Text Utility"},
    ControlTemplate{kDocumentFileListId, ControlKind::FileList, "", {7, 38, 133, 66}, true, ""},
    ControlTemplate{kDocumentSelectorId, ControlKind::DirectorySelector, "", {7, 23, 118, 60},
                    true, ""},
    ControlTemplate{kDocumentUpButtonId, ControlKind::PushButton, "..", {128, 23, 12, 12}, true,
                    "QRV Directory Up"},
    ControlTemplate{kDocumentLabelId, ControlKind::Label, "QRV File List", {7, 7, 133, 11},
                    false, ""},
    ControlTemplate{kTextFileListId, ControlKind::FileList, "", {183, 38, 133, 66}, true, ""},
    ControlTemplate{kTextSelectorId, ControlKind::DirectorySelector, "", {183, 23, 118, 60},
                    true, ""},
    ControlTemplate{kTextUpButtonId, ControlKind::PushButton, "..", {304, 23, 12, 12}, true,
                    "TXT Directory Up"},
    ControlTemplate{kTextLabelId, ControlKind::Label, "QRT File List", {183, 7, 133, 11}, false,
                    ""},
    ControlTemplate{kConvertButtonId, ControlKind::PushButton, "Convert", {146, 65, 32, 14},
                    true, "Convert QRV To TXT"},
    ControlTemplate{kNoId, ControlKind::Icon, "", {282, 124, 18, 20}, false, ""},
    ControlTemplate{kNoId, ControlKind::Frame, "", {7, 108, 255, 67}, false, ""},
    ControlTemplate{kLogScrollBarId, ControlKind::ScrollBar, "", {250, 110, 10, 63}, false, ""},
    LogLine(0),
    LogLine(1),
    LogLine(2),
    LogLine(3),
    LogLine(4),
    LogLine(5),
};
// clang-format on

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

std::span<const ControlTemplate> DialogControls() { return kControls; }

const ControlTemplate* FindControlTemplate(int id) {
  for (const ControlTemplate& control : kControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

int DialogUnits::ToPixelsX(int units) const {
  return MulDiv(units, baseWidth, kHorizontalUnitsPerChar);
}

int DialogUnits::ToPixelsY(int units) const {
  return MulDiv(units, baseHeight, kVerticalUnitsPerChar);
}

PixelRect ToPixels(const DialogUnits& units, const DialogRect& rect) {
  // Both edges are converted, so neighbouring controls never overlap or
  // leave a gap through rounding.
  const int left = units.ToPixelsX(rect.x);
  const int top = units.ToPixelsY(rect.y);
  return {left, top, units.ToPixelsX(rect.x + rect.width) - left,
          units.ToPixelsY(rect.y + rect.height) - top};
}

int AverageCharWidth(int widthOfAlphabet) { return (widthOfAlphabet / kAlphabetHalves + 1) / 2; }

}  // namespace exqrv::dialog
