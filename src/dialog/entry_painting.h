// The rules of painting one item of a file list or a directory selector that
// need no window: where the picture and the name go, and when the focus
// rectangle is drawn. Each front end draws with its own toolkit.
#pragma once

#include "app/list_entry.h"
#include "dialog/entry_picture_pixels.h"

namespace exqrv::ui {

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

// How far below the item's top the picture starts.
inline int PictureOffset(int itemHeight) { return (itemHeight - kPictureSize) / 2; }

// Item height of both kinds of control: a line of the font, but never less
// than a picture.
int EntryItemHeight(int lineHeight);

// The entry item index shows, or nullptr where there is none.
const ListEntry* EntryAt(const EntryList& entries, int index);

}  // namespace exqrv::ui
