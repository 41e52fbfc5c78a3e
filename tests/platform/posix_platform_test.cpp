// The POSIX platform: one drive C: over the whole file system, a private
// temporary folder, descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"

namespace exqrv::platform {
namespace {

using build::ScratchDir;

TEST(Paths, MapTheOneDriveAndBothSeparators) {
  struct Case {
    const char* system;
    std::optional<std::string> native;
  } cases[] = {
      {"C:\\home\\ann", "/home/ann"}, {"c:\\tmp/x", "/tmp/x"},     {"C:", "."},
      {"\\etc\\x", "/etc/x"},         {"sub\\a.QRV", "sub/a.QRV"}, {"/abs/b", "/abs/b"},
      {"D:\\x", std::nullopt},        {"E:", std::nullopt},        {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(NativePath(c.system), c.native) << c.system;
  EXPECT_EQ(SystemPath("/home/ann"), "C:\\home\\ann");
  EXPECT_EQ(SystemPath("/"), "C:\\");
  // A slash ends a directory here too.
  EXPECT_EQ(JoinPath("/tmp/", "A.QRV"), "/tmp/A.QRV");
}

// Names the system allows but the one-drive mapping would read otherwise (a
// backslash, a leading drive) reach every path service as they are.
TEST(Paths, AVerbatimPathIsTakenAsItIs) {
  ScratchDir dir;
  const std::string odd = VerbatimPath(dir / "D:odd\\name");
  EXPECT_EQ(NativePath(odd), dir / "D:odd\\name");
  EXPECT_EQ(NativePath(kVerbatimPrefix), std::nullopt);
  EXPECT_EQ(SystemPath(odd), odd);
  EXPECT_EQ(JoinPath(VerbatimPath("sub\\"), "A.QRV"), VerbatimPath("sub\\/A.QRV"));

  File file;
  ASSERT_TRUE(file.Open(odd, OpenMode::CreateNew)) << file.ErrorText();
  ASSERT_TRUE(file.Close());
  EXPECT_TRUE(std::filesystem::exists(dir / "D:odd\\name"));
  const std::string placed = VerbatimPath(dir / "C:\\placed");
  std::string error;
  ASSERT_EQ(PlaceFile(odd, placed, false, error), Placement::Placed) << error;
  EXPECT_TRUE(IsSameFile(placed, VerbatimPath(dir / "C:\\placed")));
  EXPECT_TRUE(CurrentPlatform().DeleteFile(placed));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Platform, OneFixedDriveC) {
  Platform& system = CurrentPlatform();
  EXPECT_EQ(system.LogicalDriveStrings(), std::string("C:\\\0\0", 5));
  EXPECT_EQ(system.DriveKindAt("C:\\"), DriveKind::Fixed);
  EXPECT_EQ(system.DriveKindAt("E:\\"), DriveKind::NoRootDirectory);
  EXPECT_EQ(system.DriveCurrentDirectory(3), system.CurrentDirectory());
  EXPECT_EQ(system.DriveCurrentDirectory(5), "");
  EXPECT_EQ(system.CurrentDirectory(), SystemPath(std::filesystem::current_path().string()));
}

TEST(Platform, TemporaryNamesArePrivateAndUnique) {
  Platform& system = CurrentPlatform();
  const std::string dir = system.TempDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
  struct stat st {};
  ASSERT_EQ(::stat(NativePath(dir)->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  const std::string a = system.UniqueTempName(dir, "EXT", 0);
  const std::string b = system.UniqueTempName(dir, "EXT", 0);
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_TRUE(system.StatusOf(a));  // created
  const std::string file = a.substr(dir.size());
  EXPECT_EQ(file.size(), 11u);
  EXPECT_EQ(file.substr(0, 3), "EXT");
  EXPECT_EQ(file.substr(7), ".TMP");
  EXPECT_EQ(file.find_first_not_of("0123456789ABCDEF", 3), 7u);

  const std::string formed = system.UniqueTempName(dir, "tst", 0x1A2B);
  EXPECT_EQ(formed, dir + "tst1A2B.TMP");
  EXPECT_FALSE(system.StatusOf(formed));  // only formed

  // Only this process writes the folder: a fresh name needs no file, and
  // no name is given out twice, whichever way it was asked for.
  const std::string fresh = ReserveTemporaryName("EXT");
  ASSERT_FALSE(fresh.empty());
  EXPECT_EQ(fresh.substr(0, dir.size() + 3), dir + "EXT");
  EXPECT_FALSE(system.StatusOf(fresh));
  EXPECT_NE(fresh, a);
  EXPECT_NE(fresh, b);
  EXPECT_NE(fresh, ReserveTemporaryName("EXT"));
  system.DeleteFile(a);
  system.DeleteFile(b);
}

// A page expanded into the working copy is read back at once: the flushed
// bytes stay in the buffer. (The file is cut behind the object's back to show
// that the read does not go to the kernel.)
TEST(File, BytesJustFlushedAreReadBackFromTheBuffer) {
  ScratchDir dir;
  File file;
  ASSERT_TRUE(file.Open(dir / "copy.tmp", OpenMode::ReadWrite));
  ASSERT_TRUE(file.Write("header", 6));
  file.Seek(0, SeekOrigin::End);
  ASSERT_TRUE(file.Write("page text", 9));
  ASSERT_TRUE(file.Flush());
  EXPECT_EQ(build::ReadFileBytes(dir / "copy.tmp"), "headerpage text");
  ASSERT_EQ(::truncate((dir / "copy.tmp").c_str(), 0), 0);
  file.Seek(6, SeekOrigin::Begin);
  char page[9];
  ASSERT_EQ(file.Read(page, sizeof page), 9u);
  EXPECT_EQ(std::string(page, 9), "page text");
}

// A named pipe with no writer is refused at once rather than waited on.
TEST(File, OpeningANamedPipeIsRefused) {
  ScratchDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.QRV").c_str(), 0600), 0);
  File file;
  EXPECT_FALSE(file.Open(dir / "pipe.QRV", OpenMode::Read));
  EXPECT_FALSE(file.IsOpen());
}

TEST(File, WrapsADescriptorWithOrWithoutOwningIt) {
  ScratchDir dir;
  const int fd = ::open((dir / "w.bin").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "ab", 2), 2);
  {
    // A descriptor we did not open is written in sequence at its own offset,
    // which others (a shell's redirection) may share and move.
    File borrowed(fd, false);
    ASSERT_TRUE(borrowed.Write("hello", 5));
    EXPECT_EQ(borrowed.Seek(0, SeekOrigin::Begin), -1);
  }
  EXPECT_NE(::fcntl(fd, F_GETFD), -1);  // still open
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 7);
  ::lseek(fd, 0, SEEK_SET);
  {
    File owner(fd, true);
    char got[7];
    ASSERT_EQ(owner.Read(got, 7), 7u);
    EXPECT_EQ(std::string(got, 7), "abhello");
  }
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // closed by its owner
}

}  // namespace
}  // namespace exqrv::platform
