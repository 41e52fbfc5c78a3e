// The command line's drive letters against the system's own drives. The
// test setup maps D: and E: to folders of the build (Wine's drive links);
// D: has a current directory of its own, E: none, and one letter is absent.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "app/converter_app.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/drive_roots.h"

namespace exqrv {
namespace {

bool HasDrive(char letter) { return (GetLogicalDrives() & (1u << (letter - 'A'))) != 0; }

TEST(Win32Drives, TheGrammarUsesTheSystemsDrives) {
  if (!HasDrive('D') || !HasDrive('E')) GTEST_SKIP() << "drives D: and E: are not mapped";
  CreateDirectoryA("D:\\WORK", nullptr);
  // The system keeps another drive's current directory in "=D:".
  ASSERT_TRUE(SetEnvironmentVariableA("=D:", "D:\\WORK"));
  SetEnvironmentVariableA("=E:", nullptr);
  const std::string absent = platform::AbsentDriveRoot().substr(0, 2);
  const std::string startUp = platform::CurrentPlatform().CurrentDirectory();

  struct Case {
    std::string commandLine, source, target, pattern;
  } cases[] = {
      {"D:BOOK.QRV", "D:\\WORK", startUp, "BOOK.QRV"},
      {"E:*.QRV /D:\\OUT", "E:", "D:\\OUT", "*.QRV"},
      {"E:\\BOOK.QRV", "E:", startUp, "BOOK.QRV"},
      {"BOOK.QRV /E:\\", startUp, "E:", "BOOK.QRV"},
      {absent + "BOOK.QRV", absent, startUp, "BOOK.QRV"},
      {"D:\\DOCS\\*.QRV /E:\\TXT", "D:\\DOCS", "E:\\TXT", "*.QRV"},
  };
  for (const Case& c : cases) {
    ConverterApp app;
    app.SetDialogHook([](ConverterApp&) { return 0; });
    app.StartUp("");
    ASSERT_TRUE(app.ParseCommandLine(c.commandLine)) << c.commandLine;
    EXPECT_EQ(app.SourceDirectory, c.source) << c.commandLine;
    EXPECT_EQ(app.TargetDirectory, c.target) << c.commandLine;
    EXPECT_EQ(app.FilePattern, c.pattern) << c.commandLine;
  }
  SetEnvironmentVariableA("=D:", nullptr);
}

}  // namespace
}  // namespace exqrv
