#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/scratch_dir.h"

namespace exqrv::platform {
namespace {

using build::ScratchDir;

TEST(Paths, MapTheOneDriveAndBothSeparators) {
  struct Case {
    const char* system;
    std::optional<std::string> native;
  } cases[] = {
      {"C:\\home\\ann", "/home/ann"}, {"c:\\tmp/x", "/tmp/x"}, {"C:", "."},
      {"\\etc\\x", "/etc/x"},         {"sub\\a.QRV", "sub/a.QRV"}, {"/abs/b", "/abs/b"},
      {"D:\\x", std::nullopt},        {"E:", std::nullopt},        {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(NativePath(c.system), c.native) << c.system;
  EXPECT_EQ(SystemPath("/home/ann"), "C:\\home\\ann");
  EXPECT_EQ(SystemPath("/"), "C:\\");
}

TEST(Paths, JoinAddsOneBackslashUnlessASeparatorEnds) {
  EXPECT_EQ(JoinPath("E:\\DOCS", "A.QRV"), "E:\\DOCS\\A.QRV");
  EXPECT_EQ(JoinPath("E:\\", "A.QRV"), "E:\\A.QRV");
  EXPECT_EQ(JoinPath("/tmp/", "A.QRV"), "/tmp/A.QRV");
  EXPECT_EQ(JoinPath("", "A.QRV"), "\\A.QRV");
}

TEST(Paths, WildcardsMatchAsTheSystemSearchDoes) {
  struct Case {
    const char* name;
    const char* pattern;
    bool matches;
  } cases[] = {
      {"book.qrv", "*.QRV", true},  {"BOOK.QRV", "*.qrv", true},    {"book.qrvx", "*.QRV", false},
      {"noext", "*.*", true},       {"a.b.c", "*.*", true},         {"BOOK", "BOOK.*", true},
      {"B1.QRV", "B?.QRV", true},   {"B12.QRV", "B?.QRV", false},   {"x.TXT", "*.QRV", false},
      {"book.QRV", "book.QRV", true}, {"abc", "a*c*", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
  }
}

TEST(Platform, OneFixedDriveC) {
  Platform& system = CurrentPlatform();
  EXPECT_EQ(system.LogicalDriveStrings(), std::string("C:\\\0\0", 5));
  EXPECT_EQ(system.GetDriveKind("C:\\"), DriveKind::Fixed);
  EXPECT_EQ(system.GetDriveKind("E:\\"), DriveKind::NoRootDirectory);
  EXPECT_EQ(system.DriveCurrentDirectory(3), system.CurrentDirectory());
  EXPECT_EQ(system.DriveCurrentDirectory(5), "");
  EXPECT_EQ(system.CurrentDirectory(), SystemPath(std::filesystem::current_path().string()));
}

TEST(Platform, DirectoriesStatusSearchAndDelete) {
  ScratchDir dir;
  Platform& system = CurrentPlatform();
  const std::string root = SystemPath(dir.path());
  ASSERT_TRUE(system.CreateDirectory(root + "\\sub"));
  EXPECT_FALSE(system.CreateDirectory(root + "\\missing\\deeper"));  // one level only
  ASSERT_TRUE(build::WriteFileBytes(dir / "a.QRV", "x"));
  ASSERT_TRUE(build::WriteFileBytes(dir / "b.txt", "yz"));
  EXPECT_TRUE(system.GetStatus(root + "\\sub")->isDirectory);
  EXPECT_EQ(system.GetStatus(root + "/b.txt")->size, 2u);
  EXPECT_FALSE(system.GetStatus(root + "\\nothing"));

  std::vector<std::string> names;
  for (const FoundEntry& e : system.FindFiles(root + "\\*.*")) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.QRV", "b.txt", "sub"}));
  const auto qrv = system.FindFiles(root + "\\*.qrv");
  ASSERT_EQ(qrv.size(), 1u);
  EXPECT_EQ(qrv[0].name, "a.QRV");
  EXPECT_FALSE(qrv[0].isDirectory);

  EXPECT_TRUE(IsSameFile(root + "\\b.txt", dir / "b.txt"));
  EXPECT_TRUE(IsSameFile(root + "\\sub\\..\\a.QRV", root + "/a.QRV"));
  EXPECT_FALSE(IsSameFile(root + "\\a.QRV", root + "\\b.txt"));
  EXPECT_FALSE(IsSameFile(root + "\\nothing", root + "\\nothing"));

  EXPECT_TRUE(system.DeleteFile(root + "\\a.QRV"));
  EXPECT_FALSE(system.DeleteFile(root + "\\a.QRV"));
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
  EXPECT_TRUE(system.GetStatus(a));  // created
  const std::string file = a.substr(dir.size());
  EXPECT_EQ(file.size(), 11u);
  EXPECT_EQ(file.substr(0, 3), "EXT");
  EXPECT_EQ(file.substr(7), ".TMP");
  EXPECT_EQ(file.find_first_not_of("0123456789ABCDEF", 3), 7u);

  const std::string formed = system.UniqueTempName(dir, "tst", 0x1A2B);
  EXPECT_EQ(formed, dir + "tst1A2B.TMP");
  EXPECT_FALSE(system.GetStatus(formed));  // only formed
  system.DeleteFile(a);
  system.DeleteFile(b);
}

TEST(File, ReadsWritesSeeksThroughItsBuffer) {
  ScratchDir dir;
  File file;
  ASSERT_TRUE(file.Open(dir / "f.bin", OpenMode::ReadWrite));
  std::string big(File::kBufferSize * 2 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(file.Write(big.data(), 10));
  ASSERT_TRUE(file.Write(big.data() + 10, static_cast<uint32_t>(big.size() - 10)));
  EXPECT_EQ(file.Size(), static_cast<int64_t>(big.size()));
  EXPECT_EQ(file.Seek(-17, SeekOrigin::End), static_cast<int64_t>(big.size() - 17));
  char tail[40];
  EXPECT_EQ(file.Read(tail, sizeof tail), 17u);
  EXPECT_EQ(std::string(tail, 17), big.substr(big.size() - 17));

  // Overwrite in the middle, then read across the buffer boundary.
  file.Seek(File::kBufferSize - 2, SeekOrigin::Begin);
  ASSERT_TRUE(file.Write("ABCD", 4));
  file.Seek(-6, SeekOrigin::Current);
  char mid[8];
  ASSERT_EQ(file.Read(mid, 8), 8u);
  EXPECT_EQ(std::string(mid, 8), big.substr(File::kBufferSize - 4, 2) + "ABCD" +
                                     big.substr(File::kBufferSize + 2, 2));
  EXPECT_EQ(file.Seek(-1, SeekOrigin::Begin), -1);
  EXPECT_EQ(file.Seek(1000, SeekOrigin::End), static_cast<int64_t>(big.size() + 1000));
  EXPECT_EQ(file.Read(mid, 8), 0u);
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(build::ReadFileBytes(dir / "f.bin").size(), big.size());
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

TEST(File, OpeningFailsForDirectoriesPipesMissingFilesAndOtherDrives) {
  ScratchDir dir;
  File file;
  EXPECT_FALSE(file.Open(dir.path(), OpenMode::Read));
  EXPECT_FALSE(file.ErrorText().empty());
  EXPECT_FALSE(file.Open(dir / "missing", OpenMode::Read));
  EXPECT_FALSE(file.Open("E:\\x.QRV", OpenMode::Read));
  // A named pipe with no writer is refused at once rather than waited on.
  ASSERT_EQ(::mkfifo((dir / "pipe.QRV").c_str(), 0600), 0);
  EXPECT_FALSE(file.Open(dir / "pipe.QRV", OpenMode::Read));
  EXPECT_FALSE(file.IsOpen());
}

TEST(File, WriteFailuresAreReportedAndSticky) {
  ScratchDir dir;
  File file;
  ASSERT_TRUE(file.Open(dir / "full.txt", OpenMode::Write));
  SetWriteFaultAfter(100);
  std::string chunk(File::kBufferSize, 'x');
  EXPECT_FALSE(file.Write(chunk.data(), static_cast<uint32_t>(chunk.size())));
  SetWriteFaultAfter(-1);
  EXPECT_TRUE(file.WriteFailed());
  EXPECT_FALSE(file.ErrorText().empty());
  EXPECT_FALSE(file.Write("y", 1));
  EXPECT_FALSE(file.Close());

  // A buffered write that fails shows at Close.
  ASSERT_TRUE(file.Open(dir / "late.txt", OpenMode::Write));
  ASSERT_TRUE(file.Write("abc", 3));
  SetWriteFaultAfter(0);
  EXPECT_FALSE(file.Close());
  SetWriteFaultAfter(-1);
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

TEST(Prompter, ScriptedAnswersAndRecords) {
  ScriptedPrompter prompter;
  prompter.answers = {Answer::No};
  EXPECT_EQ(prompter.Show("q?", Buttons::YesNo, Icon::Question), Answer::No);
  EXPECT_EQ(prompter.Show("again?", Buttons::YesNo, Icon::Question), Answer::Yes);
  ASSERT_EQ(prompter.shown.size(), 2u);
  EXPECT_EQ(prompter.shown[0].text, "q?");
}

}  // namespace
}  // namespace exqrv::platform
