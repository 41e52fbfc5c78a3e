// The private temporary folder as the POSIX file layer reaches it (inside
// the platform layer only): through the descriptor it was opened on once,
// never again by its path, which a user who can write to the folder above
// could have changed meanwhile.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace exqrv::platform {

struct PrivateFolderEntry {
  int folder;        // the private folder's descriptor
  std::string name;  // the entry's name in it
};

// A native path that names an entry of the private temporary folder, as
// the folder's descriptor and the entry's name; nullopt for any other path
// (or while the folder has not been made).
std::optional<PrivateFolderEntry> InPrivateFolder(std::string_view native);

}  // namespace exqrv::platform
