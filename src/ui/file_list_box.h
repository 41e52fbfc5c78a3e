// A file list of the dialog: fixed-height items painted from the side's file
// entries, in the entries' order. Item i shows entry i; what an item shows is
// only for the eye, and every operation takes the entry's stored name.
#pragma once

#include <string>
#include <vector>

#include <QListWidget>

#include "app/converter_app.h"

namespace exqrv::ui {

class FileListBox : public QListWidget {
 public:
  // side 1: the documents (several may be selected); side 0: the text files.
  FileListBox(ConverterApp& app, Side side, QWidget* parent);

  Side side() const { return side_; }
  const EntryList& Entries() const { return entries_; }

  // Stored names of the items shown, in list order.
  std::vector<std::string> ItemNames() const;
  // Shows the first count entries, one item each, painted once at the end.
  void ShowNames(size_t count);
  // Adds the item of the entry just inserted at row; it is laid out with
  // the others inserted since by LayOutInsertedItems, or by the event loop.
  void InsertName(int row);
  // Lays out the items inserted since the last layout, so that the next
  // paint shows them.
  void LayOutInsertedItems();

 protected:
  // A name cut at the list's edge shows whole in a tooltip.
  bool viewportEvent(QEvent* event) override;

 private:
  const ListEntry* EntryAt(int row) const;

  Side side_;
  const EntryList& entries_;
  bool itemsInserted_ = false;
};

}  // namespace exqrv::ui
