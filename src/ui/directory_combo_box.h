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
  DirectoryComboBox(ConverterApp& app, int side, QWidget* parent);

  int Side() const { return side_; }
  const EntryList& Entries() const { return entries_; }
  std::vector<std::string> ItemTexts() const;
  void ShowNames(const EntryList& entries);

 protected:
  // The selection field shows the chosen entry as an item, without indent.
  void paintEvent(QPaintEvent* event) override;

 private:
  int side_;
  const EntryList& entries_;
};

}  // namespace exqrv::ui
