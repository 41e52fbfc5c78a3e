#include "ui/file_list_box.h"

#include "ui/entry_painter.h"

namespace exqrv::ui {

FileListBox::FileListBox(ConverterApp& app, int side, QWidget* parent)
    : QListWidget(parent),
      side_(side),
      entries_(side == DocumentSide ? app.DocumentFileList : app.TextFileList) {
  setItemDelegate(new EntryItemDelegate(entries_, ItemKind::FileList, this));
  setSelectionMode(side == DocumentSide ? QAbstractItemView::ExtendedSelection
                                        : QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSortingEnabled(false);
  setFocusPolicy(Qt::StrongFocus);
}

std::vector<std::string> FileListBox::ItemTexts() const {
  std::vector<std::string> texts;
  texts.reserve(static_cast<size_t>(count()));
  for (int row = 0; row < count(); ++row) {
    texts.push_back(item(row)->text().toLocal8Bit().toStdString());
  }
  return texts;
}

void FileListBox::ShowNames(const EntryList& entries, size_t count) {
  clear();
  for (size_t i = 0; i < count && i < entries.size(); ++i) {
    addItem(QString::fromLocal8Bit(entries[i]->Name));
  }
}

}  // namespace exqrv::ui
