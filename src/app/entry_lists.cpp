// The four entry lists behind the dialog's file lists and selectors: reading a
// directory into a sorted list, sorted insertion, and the drive and folder
// chain of a selector.
#include <cctype>
#include <string_view>

#include "app/converter_app.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr std::string_view kAllFilesPattern = "*.*";

// A drive entry's picture starts one pixel left of the item; folders of the
// chain step right by this much per level.
constexpr int kDriveIndent = -1;
constexpr int kFolderIndentStep = 8;

bool IsDotName(const std::string& name) { return name == "." || name == ".."; }

std::unique_ptr<ListEntry> MakeEntry(std::string name, int picture, int indent) {
  auto entry = std::make_unique<ListEntry>();
  entry->Name = std::move(name);
  entry->Picture = picture;
  entry->Indent = indent;
  return entry;
}

int DrivePicture(platform::DriveKind kind) {
  switch (kind) {
    case platform::DriveKind::Fixed: return FixedDrivePicture;
    case platform::DriveKind::Remote: return NetworkDrivePicture;
    case platform::DriveKind::CdRom: return CdRomDrivePicture;
    default: return RemovableDrivePicture;  // removable, and every other kind
  }
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The folder names of a directory below its root: "E:\A\B" gives A, B.
std::vector<std::string> ChainFolders(const std::string& directory) {
  std::vector<std::string> folders;
  size_t start = platform::kDriveRootLength;
  while (start <= directory.size()) {
    size_t end = directory.find('\\', start);
    if (end == std::string::npos) end = directory.size();
    folders.emplace_back(directory.substr(start, end - start));
    start = end + 1;
  }
  return folders;
}

}  // namespace

void ConverterApp::ClearEntryLists(EntryLists which) {
  const auto clears = [which](EntryLists list) {
    return which == EntryLists::All || which == list;
  };
  if (clears(EntryLists::DocumentFiles)) DocumentFileList.clear();
  if (clears(EntryLists::TextFiles)) TextFileList.clear();
  if (clears(EntryLists::DocumentDirectories)) DocumentDirectoryList.clear();
  if (clears(EntryLists::TextDirectories)) TextDirectoryList.clear();
}

int ConverterApp::ScanDirectory(Side side) {
  const bool documents = side == DocumentSide;
  const std::string& directory = documents ? SourceDirectory : TargetDirectory;
  ClearEntryLists(documents ? EntryLists::DocumentFiles : EntryLists::TextFiles);
  EntryList& list = documents ? DocumentFileList : TextFileList;

  platform::Platform& system = platform::CurrentPlatform();
  // The searches below are relative to the current directory: searching
  // another directory would list the wrong files.
  if (!system.SetCurrentDirectory(directory)) return 0;

  unsigned folders = 0;
  for (const platform::FoundEntry& found : system.FindFiles(kAllFilesPattern)) {
    if (!found.isDirectory || IsDotName(found.name)) continue;
    InsertFileEntry(found.name, ClosedFolderPicture, 0, side);
    ++folders;
  }
  const int filePicture = documents ? DocumentPicture : TextFilePicture;
  for (const platform::FoundEntry& found :
       system.FindFiles(documents ? kDocumentPattern : kTextPattern)) {
    if (found.isDirectory) continue;
    InsertFileEntry(found.name, filePicture, folders, side);
  }
  return static_cast<int>(list.size());
}

int ConverterApp::InsertFileEntry(const std::string& name, int picture, unsigned start, Side side) {
  EntryList& list = side == DocumentSide ? DocumentFileList : TextFileList;
  // Entries of another picture are passed over, so a group keeps its place.
  for (size_t i = start; i < list.size(); ++i) {
    if (list[i]->Picture != picture) continue;
    // Byte order, case-sensitive: "B.QRV" sorts before "a.QRV".
    const int order = name.compare(list[i]->Name);
    if (order == 0) return -1;
    if (order < 0) {
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(i), MakeEntry(name, picture, 0));
      return static_cast<int>(i);
    }
  }
  list.push_back(MakeEntry(name, picture, 0));
  return static_cast<int>(list.size() - 1);
}

int ConverterApp::BuildDirectoryList(Side side) {
  const bool documents = side == DocumentSide;
  ClearEntryLists(documents ? EntryLists::DocumentDirectories : EntryLists::TextDirectories);
  EntryList& list = documents ? DocumentDirectoryList : TextDirectoryList;

  platform::Platform& system = platform::CurrentPlatform();
  for (const std::string& root : platform::LogicalDriveRoots()) {
    list.push_back(
        MakeEntry(UpperCase(root), DrivePicture(system.DriveKindAt(root)), kDriveIndent));
  }

  const std::string& directory = documents ? SourceDirectory : TargetDirectory;
  if (directory.size() <= platform::kDriveRootLength) return static_cast<int>(list.size());
  // A directory on no listed drive has no entry to hang its chain from; its
  // folders are left out rather than shown detached from any drive.
  const int drive = FindDriveEntry(directory.substr(0, platform::kDriveRootLength), side);
  if (drive < 0) return static_cast<int>(list.size());

  const std::vector<std::string> folders = ChainFolders(directory);
  size_t at = static_cast<size_t>(drive) + 1;
  for (size_t k = 1; k <= folders.size(); ++k, ++at) {
    const int picture = k == folders.size() ? OpenFolderPicture : ClosedFolderPicture;
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at),
                MakeEntry(folders[k - 1], picture, kFolderIndentStep * static_cast<int>(k)));
  }
  return static_cast<int>(list.size());
}

int ConverterApp::FindDriveEntry(const std::string& root, Side side) const {
  const EntryList& list = side == DocumentSide ? DocumentDirectoryList : TextDirectoryList;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i]->Name == root) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace exqrv
