#include "dialog/entry_painting.h"

#include <algorithm>

namespace exqrv::ui {

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

int EntryItemHeight(int lineHeight) { return std::max(lineHeight, kPictureSize); }

const ListEntry* EntryAt(const EntryList& entries, int index) {
  if (index < 0 || index >= static_cast<int>(entries.size())) return nullptr;
  return entries[static_cast<size_t>(index)].get();
}

}  // namespace exqrv::ui
