// The entry lists behind the file lists and selectors: directory reading,
// sorted insertion, clearing, and the drive and folder chain of a selector.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/converter_app.h"
#include "builder/document_builder.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"
#include "support/scripted_drives.h"

namespace exqrv {
namespace {

struct Item {
  std::string name;
  int picture;
  int indent;
  bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Item& item) {
  return out << "{" << item.name << ", " << item.picture << ", " << item.indent << "}";
}

std::vector<Item> Items(const EntryList& list) {
  std::vector<Item> items;
  for (const auto& entry : list) items.push_back({entry->Name, entry->Picture, entry->Indent});
  return items;
}

class ScanDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"m", "Z", "X.QRV"}) {
      std::filesystem::create_directory(scratch_ / folder);
    }
    for (const char* file : {"a.QRV", "B.QRV", "c.qrv", "notes.TXT", "other.doc"}) {
      build::WriteFileBytes(scratch_ / file, "x");
    }
    app_.SourceDirectory = platform::SystemPath(scratch_.path());
    app_.TargetDirectory = app_.SourceDirectory;
  }

  build::ScratchDir scratch_;
  ConverterApp app_;
};

TEST_F(ScanDirectoryTest, ListsFoldersThenDocumentsEachInByteOrder) {
  EXPECT_EQ(app_.ScanDirectory(DocumentSide), 6);
  const std::vector<Item> expected{
      {"X.QRV", ClosedFolderPicture, 0}, {"Z", ClosedFolderPicture, 0},
      {"m", ClosedFolderPicture, 0},     {"B.QRV", DocumentPicture, 0},
      {"a.QRV", DocumentPicture, 0},     {"c.qrv", DocumentPicture, 0},
  };
  EXPECT_EQ(Items(app_.DocumentFileList), expected);
  EXPECT_TRUE(app_.TextFileList.empty());
}

TEST_F(ScanDirectoryTest, TextSideListsTextFilesAndReplacesItsOldEntries) {
  app_.InsertFileEntry("stale.TXT", TextFilePicture, 0, TextSide);
  EXPECT_EQ(app_.ScanDirectory(TextSide), 4);
  const std::vector<Item> expected{
      {"X.QRV", ClosedFolderPicture, 0},
      {"Z", ClosedFolderPicture, 0},
      {"m", ClosedFolderPicture, 0},
      {"notes.TXT", TextFilePicture, 0},
  };
  EXPECT_EQ(Items(app_.TextFileList), expected);
}

TEST_F(ScanDirectoryTest, DirectoryThatCannotBeReadGivesAnEmptyList) {
  app_.ScanDirectory(DocumentSide);
  app_.SourceDirectory += "\\missing";
  EXPECT_EQ(app_.ScanDirectory(DocumentSide), 0);
  EXPECT_TRUE(app_.DocumentFileList.empty());
}

TEST(InsertFileEntryTest, KeepsGroupsAndOrderAndRefusesDuplicates) {
  struct Case {
    const char* what;
    std::vector<Item> before;
    Item inserted;
    unsigned start;
    std::vector<Item> after;
  };
  const Item folderB{"B", ClosedFolderPicture, 0};
  const Item folderY{"y", ClosedFolderPicture, 0};
  const Item textA{"A.TXT", TextFilePicture, 0};
  const Item textC{"C.TXT", TextFilePicture, 0};
  const Item textB{"B.TXT", TextFilePicture, 0};
  const Case cases[] = {
      {"into an empty list", {}, textB, 0, {textB}},
      {"into folders only: after them", {folderB, folderY}, textB, 0, {folderB, folderY, textB}},
      {"among text files, past the folders",
       {folderB, folderY, textA, textC},
       textB,
       0,
       {folderB, folderY, textA, textB, textC}},
      {"a name already listed", {folderB, textA, textB}, textB, 0, {folderB, textA, textB}},
      {"upper case before lower case",
       {textA, {"a.TXT", TextFilePicture, 0}},
       {"Z.TXT", TextFilePicture, 0},
       0,
       {textA, {"Z.TXT", TextFilePicture, 0}, {"a.TXT", TextFilePicture, 0}}},
      {"comparisons begin at start", {textC, folderY}, textA, 1, {textC, folderY, textA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ConverterApp app;
    for (const Item& item : c.before)
      app.TextFileList.push_back(
          std::make_unique<ListEntry>(ListEntry{item.name, item.picture, item.indent}));
    app.InsertFileEntry(c.inserted.name, c.inserted.picture, c.start, TextSide);
    EXPECT_EQ(Items(app.TextFileList), c.after);
    EXPECT_TRUE(app.DocumentFileList.empty());
  }
}

TEST(ClearEntryListsTest, EmptiesTheNamedListOrAll) {
  struct Case {
    EntryLists which;
    std::vector<bool> emptied;  // document files, text files, document dirs, text dirs
  };
  const Case cases[] = {
      {EntryLists::All, {true, true, true, true}},
      {EntryLists::DocumentFiles, {true, false, false, false}},
      {EntryLists::TextFiles, {false, true, false, false}},
      {EntryLists::DocumentDirectories, {false, false, true, false}},
      {EntryLists::TextDirectories, {false, false, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.which));
    ConverterApp app;
    EntryList* lists[] = {&app.DocumentFileList, &app.TextFileList, &app.DocumentDirectoryList,
                          &app.TextDirectoryList};
    for (EntryList* list : lists) {
      for (int i = 0; i < 3; ++i) list->push_back(std::make_unique<ListEntry>());
    }
    app.ClearEntryLists(c.which);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(lists[i]->empty(), c.emptied[i]) << i;
  }
}

class DirectoryListTest : public ::testing::Test {
 protected:
  uitest::ScriptedDrives drives_;
  ConverterApp app_;
};

TEST_F(DirectoryListTest, ChainOfTheDirectoryFollowsItsDrive) {
  app_.SourceDirectory = "E:\\WORK\\DOCS";
  EXPECT_EQ(app_.BuildDirectoryList(DocumentSide), 5);
  const std::vector<Item> expected{
      {"A:\\", RemovableDrivePicture, -1}, {"E:\\", FixedDrivePicture, -1},
      {"WORK", ClosedFolderPicture, 8},    {"DOCS", OpenFolderPicture, 16},
      {"F:\\", CdRomDrivePicture, -1},
  };
  EXPECT_EQ(Items(app_.DocumentDirectoryList), expected);
  EXPECT_TRUE(app_.TextDirectoryList.empty());
}

TEST_F(DirectoryListTest, RootOrUnlistedDriveShowsTheDrivesOnly) {
  for (const char* directory : {"E:\\", "Q:\\WORK", "e:\\WORK"}) {
    SCOPED_TRACE(directory);
    app_.TextDirectoryList.push_back(std::make_unique<ListEntry>());
    app_.TargetDirectory = directory;
    EXPECT_EQ(app_.BuildDirectoryList(TextSide), 3);
    for (const auto& entry : app_.TextDirectoryList) EXPECT_EQ(entry->Indent, -1);
  }
}

TEST_F(DirectoryListTest, DrivePictureFollowsTheKind) {
  const std::pair<platform::DriveKind, int> cases[] = {
      {platform::DriveKind::Removable, RemovableDrivePicture},
      {platform::DriveKind::Fixed, FixedDrivePicture},
      {platform::DriveKind::Remote, NetworkDrivePicture},
      {platform::DriveKind::CdRom, CdRomDrivePicture},
      {platform::DriveKind::Unknown, RemovableDrivePicture},
      {platform::DriveKind::NoRootDirectory, RemovableDrivePicture},
      {platform::DriveKind::RamDisk, RemovableDrivePicture},
  };
  for (const auto& [kind, picture] : cases) {
    drives_.kinds["A:\\"] = kind;
    app_.BuildDirectoryList(DocumentSide);
    EXPECT_EQ(app_.DocumentDirectoryList.front()->Picture, picture) << static_cast<int>(kind);
  }
}

TEST_F(DirectoryListTest, FindDriveEntryComparesExactly) {
  app_.TargetDirectory = "F:\\BOOKS";
  app_.BuildDirectoryList(TextSide);
  EXPECT_EQ(app_.FindDriveEntry("E:\\", TextSide), 1);
  EXPECT_EQ(app_.FindDriveEntry("F:\\", TextSide), 2);  // listed as f:\, shown upper-case
  EXPECT_EQ(app_.FindDriveEntry("e:\\", TextSide), -1);
  EXPECT_EQ(app_.FindDriveEntry("E:\\", DocumentSide), -1);
  EXPECT_EQ(app_.TextDirectoryList[3]->Name, "BOOKS");
}

#ifndef _WIN32
// The POSIX platform's one drive; Windows lists its own.
TEST(DirectoryListPosixTest, OneFixedDriveRootedAtSlash) {
  ConverterApp app;
  app.SourceDirectory = "C:\\home\\ann";
  EXPECT_EQ(app.BuildDirectoryList(DocumentSide), 3);
  const std::vector<Item> expected{
      {"C:\\", FixedDrivePicture, -1},
      {"home", ClosedFolderPicture, 8},
      {"ann", OpenFolderPicture, 16},
  };
  EXPECT_EQ(Items(app.DocumentDirectoryList), expected);
}
#endif

}  // namespace
}  // namespace exqrv
