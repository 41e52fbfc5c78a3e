// What exqrv and qrvtool say, in one place: the message boxes of the command
// line exactly as users have always seen them, and the reasons a document
// is reported with. Tests compare with these, so a change shows in one spot.
#pragma once

#include <string>
#include <string_view>

namespace exqrv {

// The command line's grammar, as the usage messages show it.
inline constexpr char kUsage[] = "ExQRV QRVFileName [/TXTDirectory]";

// The message boxes of the command line.
inline std::string ArgumentsErrorMessage() { return std::string("Arguments ERROR!\r\n") + kUsage; }
inline std::string CreateDirectoryQuestion(std::string_view directory) {
  return std::string(directory) + " Directory not exist!\r\nCreate it?";
}
inline std::string DirectoryNotCreatedMessage(std::string_view directory) {
  return "Create Directory " + std::string(directory) + " Failed!";
}

// Why a document was not converted, or not whole, as the programs report it
// after its name.
inline constexpr char kNothingMatches[] = "nothing matches";
inline constexpr char kNotADocument[] = "not a Quillor document";
inline constexpr char kTemporaryNotWritten[] = "a temporary file could not be written";
inline constexpr char kTemporaryNotMade[] = "no temporary file could be made";
inline constexpr char kSoNotConverted[] = ", so it was not converted";
inline constexpr char kSoNotesMissing[] = ", so its notes are missing";
inline constexpr char kNotesBeyondMemory[] = "runs out of memory (its notes are too large)";
inline constexpr char kWouldReplaceDocument[] = "its text file would replace the document itself";
inline std::string SharedTextMessage(std::string_view textName, std::string_view owner) {
  return "its text file " + std::string(textName) + " is already the text of " + std::string(owner);
}

}  // namespace exqrv
