#include "dialog/selector_rules.h"

#include <cctype>

#include "platform/platform.h"

namespace exqrv::dialog {
namespace {

using platform::kDriveRootLength;
// The backslash of "E:\".
constexpr size_t kRootBackslashAt = kDriveRootLength - 1;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

template <typename Matches>
int FindFromSecondItem(const std::vector<std::string>& items, Matches matches) {
  const size_t count = items.size();
  for (size_t step = 1; step <= count; ++step) {
    const size_t index = step % count;
    if (matches(items[index])) return static_cast<int>(index);
  }
  return -1;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

int FindItemWithPrefix(const std::vector<std::string>& items, std::string_view prefix) {
  return FindFromSecondItem(items, [prefix](const std::string& item) {
    return item.size() >= prefix.size() &&
           EqualsIgnoringCase(std::string_view(item).substr(0, prefix.size()), prefix);
  });
}

int FindItemExact(const std::vector<std::string>& items, std::string_view text) {
  return FindFromSecondItem(
      items, [text](const std::string& item) { return EqualsIgnoringCase(item, text); });
}

int DirectorySelection(const EntryList& entries, const std::vector<std::string>& items,
                       std::string_view directory) {
  int open = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i]->Picture == OpenFolderPicture) open = static_cast<int>(i);
  }
  if (open >= 0) return open;
  return FindItemWithPrefix(items, directory);
}

std::optional<std::string> ChosenDirectory(const std::vector<std::string>& items, int chosen,
                                           const std::string& current) {
  if (chosen < 0 || chosen >= static_cast<int>(items.size())) return std::nullopt;
  const std::string& text = items[static_cast<size_t>(chosen)];

  // A drive: its root always, unless that is where the side already is.
  const size_t backslash = text.find('\\');
  if (backslash != std::string::npos && backslash > 0) {
    if (current.size() == kDriveRootLength && current == text) return std::nullopt;
    return text;
  }

  // A folder of the chain: the drive's root and the folders down to it.
  const int drive = FindItemExact(items, std::string_view(current).substr(0, kDriveRootLength));
  if (drive < 0 || chosen < drive) return std::nullopt;
  std::string path;
  for (int k = drive; k <= chosen; ++k) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    path += items[static_cast<size_t>(k)];
  }
  if (path == current) return std::nullopt;
  return path;
}

std::optional<std::string> ParentDirectory(std::string_view directory) {
  if (directory.size() <= kDriveRootLength) return std::nullopt;
  size_t cut = directory.rfind('\\');
  if (cut == std::string_view::npos || cut == 0) return std::nullopt;
  if (cut == kRootBackslashAt) cut = kDriveRootLength;  // the root keeps its backslash
  return std::string(directory.substr(0, cut));
}

}  // namespace exqrv::dialog
