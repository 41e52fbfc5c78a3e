// A file list of the dialog: fixed-height items painted from the side's file
// entries, in the entries' order.
#pragma once

#include <QListWidget>

#include "app/converter_app.h"

namespace exqrv::ui {

class FileListBox : public QListWidget {
 public:
  // side 1: the documents (several may be selected); side 0: the text files.
  FileListBox(ConverterApp& app, int side, QWidget* parent);

  int Side() const { return side_; }
  const EntryList& Entries() const { return entries_; }

  // Item texts in list order.
  std::vector<std::string> ItemTexts() const;
  // Shows these names, one item each.
  void ShowNames(const EntryList& entries, size_t count);

 private:
  int side_;
  const EntryList& entries_;
};

}  // namespace exqrv::ui
