// A drive and directory selector: a drop-down list without an edit field whose
// items, drives and the folder chain, are painted from the side's directory
// entries.
#pragma once

#include <QComboBox>

#include "app/converter_app.h"

namespace exqrv::ui {

class DirectoryComboBox : public QComboBox {
 public:
  // side 1: the documents' selector; side 0: the text files'.
  DirectoryComboBox(ConverterApp& app, Side side, QWidget* parent);

  Side side() const { return side_; }
  const EntryList& Entries() const { return entries_; }
  // Stored names of the items shown, in list order: a path is built from
  // these, never from what an item shows.
  std::vector<std::string> ItemNames() const;
  // Shows every entry, one item each.
  void ShowNames();

 protected:
  // The selection field shows the chosen entry as an item, without indent.
  void paintEvent(QPaintEvent* event) override;
  // The wheel changes the directory only while the selector has the focus;
  // turned over a closed selector on the way elsewhere, it does nothing.
  void wheelEvent(QWheelEvent* event) override;

 private:
  Side side_;
  const EntryList& entries_;
};

}  // namespace exqrv::ui
