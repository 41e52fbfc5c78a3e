// The rules of the directory selectors that need no window: which item is
// selected after a fill, which directory a choice leads to, where ".." goes,
// and the item searches of a drop-down list.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/list_entry.h"

namespace exqrv::dialog {

// The search of a drop-down list: from item 1 on, wrapping around to item 0
// last; case does not matter. Returns the index or -1.
int FindItemWithPrefix(const std::vector<std::string>& items, std::string_view prefix);
int FindItemExact(const std::vector<std::string>& items, std::string_view text);

// The selector item to select after a fill: the last open folder, else the
// first item that begins with the directory (the drive of a root); -1 for none.
int DirectorySelection(const EntryList& entries, const std::vector<std::string>& items,
                       std::string_view directory);

// The directory that choosing item `chosen` of the selector leads to, or
// nullopt when the choice changes nothing.
std::optional<std::string> ChosenDirectory(const std::vector<std::string>& items, int chosen,
                                           const std::string& current);

// The parent of a side's directory (E:\A\B gives E:\A, E:\A gives E:\), or
// nullopt for a drive root.
std::optional<std::string> ParentDirectory(std::string_view directory);

// ASCII comparison ignoring case, as the list searches do.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace exqrv::dialog
