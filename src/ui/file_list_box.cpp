#include "ui/file_list_box.h"

#include "ui/display_text.h"
#include "ui/entry_painter.h"

namespace exqrv::ui {

FileListBox::FileListBox(ConverterApp& app, Side side, QWidget* parent)
    : QListWidget(parent),
      side_(side),
      entries_(side == DocumentSide ? app.DocumentFileList : app.TextFileList) {
  setItemDelegate(new EntryItemDelegate(entries_, dialog::ItemKind::FileList, this));
  setSelectionMode(side == DocumentSide ? QAbstractItemView::ExtendedSelection
                                        : QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSortingEnabled(false);
  setFocusPolicy(Qt::StrongFocus);
}

const ListEntry* FileListBox::EntryAt(int row) const {
  if (row < 0 || row >= count() || row >= static_cast<int>(entries_.size())) return nullptr;
  return entries_[static_cast<size_t>(row)].get();
}

std::vector<std::string> FileListBox::ItemNames() const {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(count()));
  for (int row = 0; row < count(); ++row) {
    if (const ListEntry* entry = EntryAt(row)) names.push_back(entry->Name);
  }
  return names;
}

void FileListBox::ShowNames(size_t count) {
  clear();
  for (size_t i = 0; i < count && i < entries_.size(); ++i) {
    addItem(DisplayText(entries_[i]->Name));
  }
}

void FileListBox::RepaintNow() {
  doItemsLayout();
  repaint();
}

}  // namespace exqrv::ui
