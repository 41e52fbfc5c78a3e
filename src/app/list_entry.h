// One item of a file list or a directory selector, with its 16 x 16 picture.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace exqrv {

enum EntryPicture : int {
  TextFilePicture = 129,
  DocumentPicture = 130,
  ClosedFolderPicture = 131,
  OpenFolderPicture = 132,
  RemovableDrivePicture = 133,
  FixedDrivePicture = 134,
  CdRomDrivePicture = 135,
  NetworkDrivePicture = 136,
};

// The two sides of the dialog.
enum class Side { Text = 0, Document = 1 };
inline constexpr Side DocumentSide = Side::Document;
inline constexpr Side TextSide = Side::Text;

struct ListEntry {
  std::string Name;
  int Picture = 0;
  int Indent = 0;
};

using EntryList = std::vector<std::unique_ptr<ListEntry>>;

}  // namespace exqrv
