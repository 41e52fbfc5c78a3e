// Selector rules: the item selected after a fill, where a choice leads, where
// ".." goes, and the drop-down list's searches.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog/selector_rules.h"

namespace exqrv::dialog {
namespace {

const std::vector<std::string> kChain{"A:\\", "E:\\", "WORK", "DOCS", "F:\\"};

TEST(ChosenDirectoryTest, DrivesGoToTheirRootAndFoldersToTheirPath) {
  struct Case {
    const char* current;
    std::vector<std::string> items;
    int chosen;
    std::optional<std::string> path;
  };
  const std::vector<std::string> rootItems{"A:\\", "E:\\", "F:\\"};
  const Case cases[] = {
      {"E:\\WORK\\DOCS", kChain, 2, "E:\\WORK"},
      {"E:\\WORK\\DOCS", kChain, 1, "E:\\"},
      {"E:\\WORK\\DOCS", kChain, 4, "F:\\"},
      {"E:\\WORK\\DOCS", kChain, 3, std::nullopt},  // the open folder itself
      {"E:\\", rootItems, 1, std::nullopt},         // the drive already shown
      {"E:\\", rootItems, 2, "F:\\"},
      // The drive is found ignoring case; the path is built from the items.
      {"e:\\WORK\\DOCS", kChain, 3, "E:\\WORK\\DOCS"},
      {"Q:\\X", {"A:\\", "X"}, 1, std::nullopt},  // no drive for the directory
      {"E:\\WORK", kChain, -1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.current) + " #" + std::to_string(c.chosen));
    EXPECT_EQ(ChosenDirectory(c.items, c.chosen, c.current), c.path);
  }
}

TEST(ParentDirectoryTest, StopsAtTheRoot) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"E:\\A\\B", "E:\\A"}, {"E:\\A", "E:\\"},      {"E:\\", std::nullopt},
      {"E:", std::nullopt},  {"WORK", std::nullopt},
  };
  for (const auto& [directory, parent] : cases) {
    EXPECT_EQ(ParentDirectory(directory), parent) << directory;
  }
}

TEST(DirectorySelectionTest, OpenFolderElseTheDriveOfARoot) {
  EntryList entries;
  for (int picture : {FixedDrivePicture, ClosedFolderPicture, OpenFolderPicture}) {
    entries.push_back(std::make_unique<ListEntry>(ListEntry{"", picture, 0}));
  }
  EXPECT_EQ(DirectorySelection(entries, {"C:\\", "home", "ann"}, "C:\\home\\ann"), 2);

  entries.resize(1);
  entries.push_back(std::make_unique<ListEntry>(ListEntry{"", FixedDrivePicture, -1}));
  EXPECT_EQ(DirectorySelection(entries, {"C:\\", "E:\\"}, "e:\\"), 1);
  EXPECT_EQ(DirectorySelection(entries, {"C:\\", "E:\\"}, "C:\\"), 0);
  EXPECT_EQ(DirectorySelection(entries, {"C:\\", "E:\\"}, "Q:\\"), -1);
}

TEST(FindItemTest, SearchStartsAtTheSecondItemAndWraps) {
  const std::vector<std::string> items{"c:\\", "C:\\", "Cabbage"};
  EXPECT_EQ(FindItemExact(items, "C:\\"), 1);
  EXPECT_EQ(FindItemWithPrefix(items, "c"), 1);
  EXPECT_EQ(FindItemWithPrefix({"c:\\", "D:\\"}, "C:"), 0);
  EXPECT_EQ(FindItemExact(items, "Cab"), -1);
  EXPECT_EQ(FindItemExact({}, "C:\\"), -1);
}

}  // namespace
}  // namespace exqrv::dialog
