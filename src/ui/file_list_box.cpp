#include "ui/file_list_box.h"

#include <utility>

#include <QHelpEvent>
#include <QStringList>
#include <QToolTip>

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
  QStringList names;
  names.reserve(static_cast<qsizetype>(std::min(count, entries_.size())));
  for (size_t i = 0; i < count && i < entries_.size(); ++i) {
    names.append(DisplayText(entries_[i]->Name));
  }
  // One model reset and one paint for the lot, not one per item.
  setUpdatesEnabled(false);
  clear();
  addItems(names);
  setUpdatesEnabled(true);
}

void FileListBox::InsertName(int row) {
  if (const ListEntry* entry = row < static_cast<int>(entries_.size())
                                   ? entries_[static_cast<size_t>(row)].get()
                                   : nullptr) {
    insertItem(row, DisplayText(entry->Name));
    itemsInserted_ = true;
  }
}

void FileListBox::LayOutInsertedItems() {
  if (std::exchange(itemsInserted_, false)) doItemsLayout();
}

bool FileListBox::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QListWidget::viewportEvent(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const QModelIndex index = indexAt(help->pos());
  const ListEntry* entry = EntryAt(index.row());
  const QString name = entry != nullptr ? DisplayText(entry->Name) : QString();
  const int needed = dialog::kNameOffset + fontMetrics().horizontalAdvance(name);
  if (entry != nullptr && visualRect(index).left() + needed > viewport()->width()) {
    QToolTip::showText(help->globalPos(), name, viewport(), visualRect(index));
  } else {
    QToolTip::hideText();
  }
  return true;
}

}  // namespace exqrv::ui
