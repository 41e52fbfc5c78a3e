// The platform's services as every system gives them.
#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/scripted_prompter.h"
#include "support/drive_roots.h"
#include "support/scratch_dir.h"

namespace exqrv::platform {
namespace {

using build::ScratchDir;

TEST(Paths, JoinAddsOneBackslashUnlessASeparatorEnds) {
  EXPECT_EQ(JoinPath("E:\\DOCS", "A.QRV"), "E:\\DOCS\\A.QRV");
  EXPECT_EQ(JoinPath("E:\\", "A.QRV"), "E:\\A.QRV");
  EXPECT_EQ(JoinPath("", "A.QRV"), "\\A.QRV");
}

TEST(Paths, WildcardsMatchAsTheSystemSearchDoes) {
  struct Case {
    const char* name;
    const char* pattern;
    bool matches;
  } cases[] = {
      {"book.qrv", "*.QRV", true},    {"BOOK.QRV", "*.qrv", true},  {"book.qrvx", "*.QRV", false},
      {"noext", "*.*", true},         {"a.b.c", "*.*", true},       {"BOOK", "BOOK.*", true},
      {"B1.QRV", "B?.QRV", true},     {"B12.QRV", "B?.QRV", false}, {"x.TXT", "*.QRV", false},
      {"book.QRV", "book.QRV", true}, {"abc", "a*c*", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
  }
}

TEST(Platform, DirectoriesStatusSearchAndDelete) {
  ScratchDir dir;
  Platform& system = CurrentPlatform();
  const std::string root = SystemPath(dir.path());
  ASSERT_TRUE(system.CreateDirectory(root + "\\sub"));
  EXPECT_FALSE(system.CreateDirectory(root + "\\missing\\deeper"));  // one level only
  ASSERT_TRUE(build::WriteFileBytes(dir / "a.QRV", "x"));
  ASSERT_TRUE(build::WriteFileBytes(dir / "b.txt", "yz"));
  EXPECT_TRUE(system.StatusOf(root + "\\sub")->isDirectory);
  EXPECT_EQ(system.StatusOf(root + "/b.txt")->size, 2u);
  EXPECT_FALSE(system.StatusOf(root + "\\nothing"));

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

TEST(File, ReadsWritesSeeksThroughItsBuffer) {
  ScratchDir dir;
  File file;
  ASSERT_TRUE(file.Open(dir / "f.bin", OpenMode::ReadWrite));
  std::string big(File::kReadWriteBufferSize * 2 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(file.Write(big.data(), 10));
  ASSERT_TRUE(file.Write(big.data() + 10, static_cast<uint32_t>(big.size() - 10)));
  EXPECT_EQ(file.Size(), static_cast<int64_t>(big.size()));
  EXPECT_EQ(file.Seek(-17, SeekOrigin::End), static_cast<int64_t>(big.size() - 17));
  char tail[40];
  EXPECT_EQ(file.Read(tail, sizeof tail), 17u);
  EXPECT_EQ(std::string(tail, 17), big.substr(big.size() - 17));

  // Overwrite in the middle, then read across the buffer boundary.
  file.Seek(File::kReadWriteBufferSize - 2, SeekOrigin::Begin);
  ASSERT_TRUE(file.Write("ABCD", 4));
  file.Seek(-6, SeekOrigin::Current);
  char mid[8];
  ASSERT_EQ(file.Read(mid, 8), 8u);
  EXPECT_EQ(std::string(mid, 8), big.substr(File::kReadWriteBufferSize - 4, 2) + "ABCD" +
                                     big.substr(File::kReadWriteBufferSize + 2, 2));
  EXPECT_EQ(file.Seek(-1, SeekOrigin::Begin), -1);
  EXPECT_EQ(file.Seek(1000, SeekOrigin::End), static_cast<int64_t>(big.size() + 1000));
  EXPECT_EQ(file.Read(mid, 8), 0u);
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(build::ReadFileBytes(dir / "f.bin").size(), big.size());
}

// Writes of every size, in sequence, across the buffer's boundaries (a
// full buffer is topped up from the next write before it goes out): the file
// holds every byte once, in order, and what was written reads back.
TEST(File, WritesInSequenceAcrossTheBufferKeepEveryByte) {
  ScratchDir dir;
  for (const auto& [mode, buffer] : {std::pair{OpenMode::Write, File::kWriteBufferSize},
                                     std::pair{OpenMode::ReadWrite, File::kReadWriteBufferSize}}) {
    const std::vector<size_t> sizes = {1,   7,         buffer - 9, 5, 3, buffer, 2 * buffer + 1,
                                       300, buffer - 1};
    std::string expected;
    File file;
    ASSERT_TRUE(file.Open(dir / "seq.bin", mode));
    for (const size_t size : sizes) {
      std::string piece(size, '\0');
      for (size_t i = 0; i < size; ++i)
        piece[i] = static_cast<char>((expected.size() + i) * 13 + size);
      ASSERT_TRUE(file.Write(piece.data(), static_cast<uint32_t>(size)));
      expected += piece;
      EXPECT_EQ(file.Position(), static_cast<int64_t>(expected.size()));
    }
    if (mode == OpenMode::ReadWrite) {
      std::string back(expected.size(), '\0');
      file.Seek(0, SeekOrigin::Begin);
      ASSERT_EQ(file.Read(back.data(), static_cast<uint32_t>(back.size())), back.size());
      EXPECT_TRUE(back == expected);
    }
    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(build::ReadFileBytes(dir / "seq.bin") == expected);
  }
}

// A write that goes back into the bytes still waiting in the buffer (a
// header completed after what follows it) lands where it was aimed, in
// every mode, whether it stays inside them, runs past their end, or the
// seek leaves them behind.
TEST(File, WritesBackIntoPendingBytesLandWhereAimed) {
  struct Step {
    int64_t seek;  // -1: write where the last write ended
    std::string bytes;
  };
  struct Case {
    std::vector<Step> steps;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{{-1, "0123456789"}, {2, "ab"}}, "01ab456789"},
      {{{-1, "0123456789"}, {8, "abcd"}, {-1, "!"}}, "01234567abcd!"},
      {{{-1, "0123456789"}, {0, "AB"}, {10, "Z"}}, "AB23456789Z"},
      {{{-1, "0123"}, {6, "x"}, {1, "y"}}, std::string("0y23\0\0x", 7)},
  };
  ScratchDir dir;
  for (const OpenMode mode : {OpenMode::Write, OpenMode::ReadWrite}) {
    for (const Case& c : cases) {
      File file;
      ASSERT_TRUE(file.Open(dir / "patched.bin", mode));
      for (const Step& step : c.steps) {
        if (step.seek >= 0) {
          ASSERT_EQ(file.Seek(step.seek, SeekOrigin::Begin), step.seek);
        }
        ASSERT_TRUE(file.Write(step.bytes.data(), static_cast<uint32_t>(step.bytes.size())));
      }
      EXPECT_EQ(file.Size(), static_cast<int64_t>(c.expected.size()));
      EXPECT_TRUE(file.Close());
      EXPECT_EQ(build::ReadFileBytes(dir / "patched.bin"), c.expected);
    }
  }
}

TEST(File, OpeningFailsForDirectoriesMissingFilesAndAbsentDrives) {
  ScratchDir dir;
  File file;
  EXPECT_FALSE(file.Open(dir.path(), OpenMode::Read));
  EXPECT_FALSE(file.ErrorText().empty());
  EXPECT_FALSE(file.Open(dir / "missing", OpenMode::Read));
  EXPECT_FALSE(file.Open(AbsentDriveRoot() + "x.QRV", OpenMode::Read));
  EXPECT_FALSE(file.IsOpen());
}

TEST(File, WriteFailuresAreReportedAndSticky) {
  ScratchDir dir;
  File file;
  ASSERT_TRUE(file.Open(dir / "full.txt", OpenMode::Write));
  {
    const WriteFaultScope full(100);
    std::string chunk(File::kWriteBufferSize, 'x');
    EXPECT_FALSE(file.Write(chunk.data(), static_cast<uint32_t>(chunk.size())));
  }
  EXPECT_TRUE(file.WriteFailed());
  EXPECT_FALSE(file.ErrorText().empty());
  EXPECT_FALSE(file.Write("y", 1));
  EXPECT_FALSE(file.Close());

  // A buffered write that fails shows at Close.
  ASSERT_TRUE(file.Open(dir / "late.txt", OpenMode::Write));
  ASSERT_TRUE(file.Write("abc", 3));
  const WriteFaultScope full(0);
  EXPECT_FALSE(file.Close());
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
