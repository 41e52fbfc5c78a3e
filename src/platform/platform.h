// The operating system's services, as the converter sees them: Windows-style
// paths with drive letters, wildcard search, unique temporary names. On
// Windows they are the system's own; the POSIX implementation translates,
// with one drive C: whose root is "/". Tests may install a scripted platform
// of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace exqrv::platform {

inline constexpr size_t kMaxPath = 260;  // including the terminator
// A drive's root: letter, colon, backslash ("E:\").
inline constexpr size_t kDriveRootLength = 3;

enum class DriveKind : int {
  Unknown = 0,
  NoRootDirectory = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

struct PathStatus {
  bool isDirectory = false;
  uint64_t size = 0;
};

struct FoundEntry {
  std::string name;  // without directory
  bool isDirectory = false;
};

class Platform {
 public:
  virtual ~Platform() = default;

  virtual std::string CurrentDirectory();  // "C:\home\ann", "C:\" at the root
  virtual bool SetCurrentDirectory(std::string_view path);
  // Drive roots, each followed by a NUL, then one more NUL ("C:\\\0\0").
  virtual std::string LogicalDriveStrings();
  virtual DriveKind DriveKindAt(std::string_view root);
  // Current directory of drive number (A = 1); empty when the drive is absent.
  virtual std::string DriveCurrentDirectory(int drive);
  virtual bool CreateDirectory(std::string_view path);
  virtual std::optional<PathStatus> StatusOf(std::string_view path);
  // Entries matching a pattern ("*.QRV", "dir\*.*"), "." and ".." included,
  // in the order the directory delivers them.
  virtual std::vector<FoundEntry> FindFiles(std::string_view pattern);
  virtual bool DeleteFile(std::string_view path);

  // The private temporary directory, with a trailing backslash; empty when it
  // cannot be made (TemporaryFolderProblem says why).
  virtual std::string TempDirectory();
  // <dir><prefix><4 hex digits>.TMP. Number 0: a fresh number, and the file is
  // created exclusively (empty result when that fails). Nonzero: the name is
  // only formed from the low 16 bits.
  virtual std::string UniqueTempName(std::string_view directory, std::string_view prefix,
                                     unsigned number);
  // <dir><prefix><4 hex digits>.TMP that no file has, for a file the caller
  // makes later. A name in a folder that only this process writes (the
  // private temporary folder) is free once this process has not given it
  // out before, so no file is made for it; elsewhere the file is created
  // exclusively and deleted at once. Empty when no name can be had.
  virtual std::string FreshTempName(std::string_view directory, std::string_view prefix);
  // The runtime's pseudo-random number, 0 to 32767.
  virtual int Random();
};

// The system's own platform.
Platform& SystemPlatform();
// The platform in use; the system's unless a test installed another.
Platform& CurrentPlatform();
// Installs a platform (not owned; nullptr: the system's) and returns the one
// installed before. Code that installs one uses ScopedPlatform.
Platform* SetPlatform(Platform* platform);

// Installs a platform for its lifetime, then puts back whatever was installed
// before it.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform* platform) : previous_(SetPlatform(platform)) {}
  ~ScopedPlatform() { SetPlatform(previous_); }
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

// The program's one command-line string: on Windows the raw command line
// after the program's name, as the system hands it over; on POSIX, where a
// shell has split it into words, argv[1..] joined by single spaces.
std::string ProgramCommandLine(int argc, char** argv);

// What separates directories to every path service: the backslash and the
// slash alike, on every system.
inline constexpr std::string_view kPathServiceSeparators = "\\/";
// What separates directories in the command line's paths: the backslash,
// and on POSIX the slash too (the target's introducing slash aside); and the
// one separator of the system's own paths.
#ifdef _WIN32
inline constexpr std::string_view kDirectorySeparators = "\\";
inline constexpr char kNativeSeparator = '\\';
#else
inline constexpr std::string_view kDirectorySeparators = "\\/";
inline constexpr char kNativeSeparator = '/';
#endif

// A system path as the path the system's calls take: on POSIX (C:\x, \x,
// x\y, /x) the POSIX path, nullopt for a drive other than C:; on Windows
// the path itself. A verbatim path (see VerbatimPath) is taken as it is.
std::optional<std::string> NativePath(std::string_view path);

// What marks a system path as verbatim: the prefix Windows gives paths it
// takes as they are. On POSIX the native path follows it unchanged, so that
// a name with a backslash or a leading "C:" in it, which the system allows,
// reaches the system as it is.
inline constexpr std::string_view kVerbatimPrefix = "\\\\?\\";
// A native path the user gave, as a system path every path service takes
// unchanged: on POSIX marked verbatim, on Windows the path itself.
std::string VerbatimPath(std::string_view nativePath);

// The current platform's drive roots ("C:\\"), in its order.
std::vector<std::string> LogicalDriveRoots();

// How a temporary file let an operation down, if it did: it could not be
// made (no usable temporary folder), or a write to it failed (a full device).
enum class TemporaryFault { None, NotMade, WriteFailed };

// Why the system's private temporary folder could not be made, as a line
// for the user; empty when it could, or has not been asked for.
std::string TemporaryFolderProblem();

// A fresh unique name in the temporary directory (FreshTempName), for a
// file made later. Empty when no name can be had.
std::string ReserveTemporaryName(std::string_view prefix);

// True when path names an entry of the process's own private temporary
// folder, which no one else can write (never on Windows, whose temporary
// folder is shared among the user's programs).
bool IsInProcessTempFolder(std::string_view path);

// True when both paths name one existing file (the same file under two
// names, or the same name twice).
bool IsSameFile(std::string_view first, std::string_view second);

// Gives a finished file (from) its name (to), both system paths on one
// volume. Replacing: whatever had the name is replaced in one step. Not
// replacing: a file that has the name, even one that appeared a moment ago,
// wins (NameTaken) and from stays. Failed: error holds the system's message
// and from stays.
enum class Placement { Placed, NameTaken, Failed };
Placement PlaceFile(std::string_view from, std::string_view to, bool replace, std::string& error);

// The number of this process, for names no other running process forms.
unsigned long ProcessId();

// The system's message for one of its error codes (errno, or GetLastError
// on Windows), without a closing full stop or line break.
std::string SystemErrorText(unsigned long code);
// The system's message for the error of the last system call that failed on
// this thread.
std::string LastSystemErrorText();

// directory, a backslash unless it already ends with a directory separator,
// and name. A verbatim directory is joined with its system's own separator.
std::string JoinPath(std::string_view directory, std::string_view name);

// A system path as the user knows it, for messages: on POSIX the POSIX path
// (C:\\tmp\\out shows as /tmp/out), on Windows the path itself.
std::string DisplayPath(std::string_view path);

// A native absolute path as the system path (on POSIX, on drive C:); a
// verbatim path stays as it is.
std::string SystemPath(std::string_view nativePath);
// Windows wildcard matching: case-insensitive, "*" and "?", "*.*" matches all.
bool MatchesPattern(std::string_view name, std::string_view pattern);

}  // namespace exqrv::platform
