// The Windows platform against the system's own services: drives, temporary
// names, wildcard search, names in any case, handles we did not open, the
// question with no console.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "builder/document_builder.h"
#include "support/drive_roots.h"
#include "support/scratch_dir.h"

namespace exqrv::platform {
namespace {

using build::ScratchDir;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

TEST(Win32Platform, DrivesAreTheSystems) {
  Platform& system = CurrentPlatform();
  const std::vector<std::string> roots = LogicalDriveRoots();
  ASSERT_FALSE(roots.empty());
  for (const std::string& root : roots) {
    ASSERT_EQ(root.size(), 3u) << root;
    EXPECT_NE(GetLogicalDrives() & (1u << (root[0] - 'A')), 0u) << root;
    EXPECT_NE(system.DriveKindAt(root), DriveKind::NoRootDirectory) << root;
  }
  EXPECT_EQ(system.DriveKindAt("C:\\"), DriveKind::Fixed);

  const std::string absent = AbsentDriveRoot();
  ASSERT_FALSE(absent.empty());
  EXPECT_EQ(system.DriveKindAt(absent), DriveKind::NoRootDirectory);
  EXPECT_EQ(system.DriveCurrentDirectory(absent[0] - 'A' + 1), "");

  const std::string current = system.CurrentDirectory();
  ASSERT_GE(current.size(), 3u);
  EXPECT_EQ(system.DriveCurrentDirectory(std::toupper(current[0]) - 'A' + 1), current);
}

TEST(Win32Platform, DirectoriesChangeAndKeepTheirCase) {
  ScratchDir dir;
  Platform& system = CurrentPlatform();
  const std::string before = system.CurrentDirectory();
  ASSERT_TRUE(system.CreateDirectory(dir.path() + "\\Mixed"));
  ASSERT_TRUE(system.SetCurrentDirectory(dir.path() + "\\MIXED"));
  // Names match in any case, and come back as they were made.
  EXPECT_EQ(Upper(system.CurrentDirectory()), Upper(dir.path() + "\\Mixed"));
  ASSERT_TRUE(build::WriteFileBytes(dir / "Mixed\\Book.qrv", "x"));
  EXPECT_TRUE(system.StatusOf("BOOK.QRV"));
  const std::vector<FoundEntry> found = system.FindFiles("*.QRV");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "Book.qrv");
  EXPECT_TRUE(IsSameFile("book.QRV", dir.path() + "\\Mixed\\Book.qrv"));
  ASSERT_TRUE(system.SetCurrentDirectory(before));
}

TEST(Win32Platform, TemporaryNamesComeFromTheSystem) {
  Platform& system = CurrentPlatform();
  const std::string dir = system.TempDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
  const auto folder = system.StatusOf(dir.substr(0, dir.size() - 1));
  ASSERT_TRUE(folder);
  EXPECT_TRUE(folder->isDirectory);

  const std::string a = system.UniqueTempName(dir, "EXT", 0);
  const std::string b = system.UniqueTempName(dir, "EXT", 0);
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_TRUE(system.StatusOf(a));  // created
  const std::string file = Upper(a.substr(dir.size()));
  EXPECT_EQ(file.substr(0, 3), "EXT");
  EXPECT_EQ(file.substr(file.size() - 4), ".TMP");
  EXPECT_EQ(file.find_first_not_of("0123456789ABCDEF", 3), file.size() - 4);

  const std::string formed = system.UniqueTempName(dir, "tst", 0x1A2B);
  EXPECT_EQ(Upper(formed), Upper(dir + "tst1A2B.TMP"));
  EXPECT_FALSE(system.StatusOf(formed));  // only formed
  EXPECT_TRUE(system.DeleteFile(a));
  EXPECT_TRUE(system.DeleteFile(b));
  EXPECT_FALSE(ReserveTemporaryName("EXT").empty());
}

TEST(Win32Platform, AHandleWeDidNotOpenIsWrittenInSequence) {
  ScratchDir dir;
  const std::string path = dir / "w.bin";
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(handle, "ab", 2, &put, nullptr));
  {
    File borrowed(handle, false);
    ASSERT_TRUE(borrowed.Write("hello", 5));
    EXPECT_EQ(borrowed.Seek(0, SeekOrigin::Begin), -1);
  }
  LARGE_INTEGER zero{}, at{};
  ASSERT_TRUE(SetFilePointerEx(handle, zero, &at, FILE_CURRENT));  // still open
  EXPECT_EQ(at.QuadPart, 7);
  CloseHandle(handle);
  EXPECT_EQ(build::ReadFileBytes(path), "abhello");
}

// With no console, as under a service or in CI, the question takes No.
TEST(Win32Platform, TheQuestionWithoutAConsoleIsAnsweredNo) {
  if (GetConsoleWindow() != nullptr) GTEST_SKIP() << "a console is attached";
  const HANDLE console =
      CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (console != INVALID_HANDLE_VALUE) {
    CloseHandle(console);
    GTEST_SKIP() << "a console is attached";
  }
  ConsolePrompter prompter;
  EXPECT_EQ(prompter.Show("Create it?", Buttons::YesNo, Icon::Question), Answer::No);
}

TEST(Win32Platform, TheCommandLineIsTheRawOneAfterTheProgramsName) {
  const std::string raw = GetCommandLineA();
  const std::string rest = ProgramCommandLine(0, nullptr);
  ASSERT_LE(rest.size(), raw.size());
  EXPECT_EQ(raw.substr(raw.size() - rest.size()), rest);
  EXPECT_EQ(rest.find("platform_test"), std::string::npos);
}

}  // namespace
}  // namespace exqrv::platform
