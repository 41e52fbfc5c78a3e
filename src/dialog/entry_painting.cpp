#include "dialog/entry_painting.h"

#include <algorithm>

namespace exqrv::dialog {

int ItemIndent(ItemKind kind, const ListEntry& entry, bool inSelectionField) {
  if (kind == ItemKind::FileList || inSelectionField) return 0;
  return entry.Indent;
}

bool FocusRuleHolds(ItemKind kind, PaintAction action, bool focused, bool selected,
                    bool inSelectionField) {
  // The item with the caret shows it whether or not it is selected: a focused
  // list with nothing selected would otherwise show no focus at all.
  const bool focusPaint = action == PaintAction::FocusChange && focused;
  if (kind == ItemKind::FileList) return focusPaint;
  const bool selectionField =
      action == PaintAction::DrawEntire && focused && selected && inSelectionField;
  return focusPaint || selectionField;
}

void PaintItem(ItemCanvas& canvas, ItemKind kind, const ItemState& state) {
  const bool entire = state.action == PaintAction::DrawEntire;
  const bool selectionPaint = state.action == PaintAction::SelectionChange;
  if (entire) {
    canvas.DrawName(Ground::Plain);
    canvas.DrawPicture();
  }
  if (state.selected && (entire || selectionPaint)) {
    canvas.FillTextPart(Ground::Selection);
    canvas.DrawName(Ground::Selection);
    canvas.DrawPicture();
  }
  if (FocusRuleHolds(kind, state.action, state.focused, state.selected, state.inSelectionField)) {
    canvas.DrawFocusFrame();
  } else {
    canvas.FrameTextPart(state.selected ? Ground::Selection : Ground::Plain);
  }
  if (!state.selected && selectionPaint) {
    canvas.FillTextPart(Ground::Plain);
    canvas.DrawName(Ground::Plain);
    canvas.DrawPicture();
  }
}

int EntryItemHeight(int lineHeight, int pictureSize) { return std::max(lineHeight, pictureSize); }

const ListEntry* EntryAt(const EntryList& entries, int index) {
  if (index < 0 || index >= static_cast<int>(entries.size())) return nullptr;
  return entries[static_cast<size_t>(index)].get();
}

}  // namespace exqrv::dialog
