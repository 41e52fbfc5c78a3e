// The rules of painting one item of a file list or a directory selector that
// need no window: where the picture and the name go, which steps a paint
// takes, and when the focus rectangle is drawn. Each front end draws the
// steps with its own toolkit.
#pragma once

#include "app/list_entry.h"
#include "dialog/entry_picture_pixels.h"

namespace exqrv::dialog {

// The name starts this far right of the picture's place.
inline constexpr int kNameOffset = 18;

enum class PaintAction {
  DrawEntire,       // the whole item
  SelectionChange,  // only its selection changed
  FocusChange,      // only its focus changed
};

enum class ItemKind { FileList, Selector };

// Where the picture starts, relative to the item's left edge.
int ItemIndent(ItemKind kind, const ListEntry& entry, bool inSelectionField);

// Whether a focus rectangle is drawn for a paint of this kind of item.
bool FocusRuleHolds(ItemKind kind, PaintAction action, bool focused, bool selected,
                    bool inSelectionField);

// The two grounds an item's text part is painted on, each with its colour of
// text.
enum class Ground { Plain, Selection };

// What one item's paint draws with, set up by the front end for that item:
// its text part (the item right of the picture's column) and its picture.
class ItemCanvas {
 public:
  virtual ~ItemCanvas() = default;
  // The name at the text part's left and the item's top, in the ground's
  // colours.
  virtual void DrawName(Ground ground) = 0;
  // The picture, combined with what lies below by AND.
  virtual void DrawPicture() = 0;
  virtual void FillTextPart(Ground ground) = 0;
  // A one-pixel frame around the text part in the ground's colour.
  virtual void FrameTextPart(Ground ground) = 0;
  // The dotted focus frame around the text part, drawn by inversion: a
  // second drawing removes it.
  virtual void DrawFocusFrame() = 0;
};

struct ItemState {
  PaintAction action = PaintAction::DrawEntire;
  bool selected = false;
  bool focused = false;
  bool inSelectionField = false;  // the selection field of a closed selector
};

// One paint of an item, in four steps: the whole item on the plain ground,
// the selection's ground, the focus frame or a plain frame, and the plain
// ground again where the selection left.
void PaintItem(ItemCanvas& canvas, ItemKind kind, const ItemState& state);

// How far below the item's top the picture starts. A front end that draws
// the pictures larger on a finer display gives their size.
inline int PictureOffset(int itemHeight, int pictureSize = kPictureSize) {
  return (itemHeight - pictureSize) / 2;
}

// Item height of both kinds of control: a line of the font, but never less
// than a picture.
int EntryItemHeight(int lineHeight, int pictureSize = kPictureSize);

// The entry item index shows, or nullptr where there is none.
const ListEntry* EntryAt(const EntryList& entries, int index);

}  // namespace exqrv::dialog
