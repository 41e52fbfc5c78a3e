#include <string>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "document/document.h"
#include "pagetext/page_interpreter.h"
#include "platform/byte_stream.h"
#include "platform/little_endian.h"
#include "platform/prompter.h"
#include "support/scripted_prompter.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::PageStream;

constexpr char kUnexpected[] = "unexpect command!\n";

// A plain document whose one page is stream, placed at the very end of the
// file so that a stream cut short runs into the end of the data.
std::string DocumentEndingWith(const std::string& stream) {
  std::string bytes = build::BuildDocument({.pages = {"CT"}});
  build::SetPageContentOffset(bytes, 1, static_cast<uint32_t>(bytes.size()));
  return bytes + stream;
}

struct PageResult {
  int32_t result;
  std::string text;
  size_t messages;
};

class PageText : public ::testing::Test {
 protected:
  PageResult Run(const std::string& stream, uint16_t page = 1) {
    prompter_.shown.clear();
    EXPECT_TRUE(build::WriteFileBytes(dir_ / "P.QRV", DocumentEndingWith(stream)));
    Document document;
    EXPECT_EQ(document.Open(dir_ / "P.QRV"), OpenResult::Opened);
    platform::MemorySink output;
    const int32_t result = PageInterpreter(document).WritePage(output, page);
    for (const auto& shown : prompter_.shown) {
      EXPECT_EQ(shown.text, kUnexpected);
      EXPECT_EQ(shown.icon, platform::Icon::Exclamation);
    }
    return {result, output.Take(), prompter_.shown.size()};
  }

  build::ScratchDir dir_;
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope scripted_{&prompter_};
};

std::string Item(std::string_view chars, uint8_t flags = 0) {
  return PageStream::Item(chars, flags);
}

// A text run reading "<" ... ">" placed after a command proves that the
// command's operands were stepped over exactly.
std::string Marker() { return PageStream().TextRun({Item("<ok>")}).bytes(); }

TEST_F(PageText, StepsOverEveryCommandByItsOperands) {
  // Operand bytes are "ET", which would show as text if read as a command.
  const std::string et = "ET";
  struct Case {
    const char* code;
    std::string operands;
  } cases[] = {
      {"R2", et},
      {"BC", et + et},
      {"TC", et + et},
      {"BH", et + et},
      {"BM", et},
      {"PN", et + et},
      {"CR", et + et + et + et},
      {"FT", et + et},
      {"SD", std::string("\x04\x00", 2) + et + et},
  };
  for (const Case& c : cases) {
    const PageResult r = Run(PageStream().Code(c.code).Bytes(c.operands).bytes() + Marker() + "CT");
    EXPECT_EQ(r.text, "<ok>") << c.code;
    EXPECT_EQ(r.messages, 0u) << c.code;
  }
  for (const char* counted : {"CH", "CI", "PI", "PL", "AP", "EP", "WP", "AR", "FR", "RR", "RT"}) {
    for (uint16_t n : {0, 1, 6}) {
      const std::string operands = std::string("ETETET").substr(0, n);
      const PageResult r =
          Run(PageStream().Code(counted).U16(n).Bytes(operands).bytes() + Marker() + "CT");
      EXPECT_EQ(r.text, "<ok>") << counted << " " << n;
    }
  }
}

TEST_F(PageText, StepsOverInlineImagesByTheirDepth) {
  struct Case {
    uint16_t bitsPerPixel;
    size_t colourTable;
  } cases[] = {{1, 8}, {4, 64}, {8, 1024}, {24, 0}, {16, 0}, {0, 0}};
  for (const Case& c : cases) {
    std::string header(60, 'E');
    WriteLe16(header.data() + 34, c.bitsPerPixel);
    const std::string stream = PageStream()
                                   .Code("SD")
                                   .U16(0)
                                   .Bytes(header)
                                   .Bytes(std::string(c.colourTable, 'T'))
                                   .U32(5)
                                   .Bytes("ETETE")
                                   .bytes() +
                               Marker() + "CT";
    EXPECT_EQ(Run(stream).text, "<ok>") << c.bitsPerPixel;
  }
}

TEST_F(PageText, WritesTheCharactersOfEveryItem) {
  struct Case {
    const char* what;
    std::string stream;
    std::string text;
  } cases[] = {
      {"only CT", "CT", ""},
      {"one item, total 10", PageStream().TextRunWithTotal(10, {Item("abc")}).End().bytes(), "abc"},
      {"EU as ET", PageStream().TextRun({Item("eu")}, "EU").End().bytes(), "eu"},
      {"both tails", PageStream().TextRun({Item("ab", 3), Item("cd")}).End().bytes(), "abcd"},
      {"eight-byte tail", PageStream().TextRun({Item("ab", 1), Item("cd", 0)}).End().bytes(),
       "abcd"},
      {"wide tail", PageStream().TextRun({Item("ab", 2), Item("cd", 0)}).End().bytes(), "abcd"},
      {"other flag bits", PageStream().TextRun({Item("ab", 0xFC), Item("c")}).End().bytes(), "abc"},
      {"empty item with tails", PageStream().TextRun({Item("", 3), Item("z")}).End().bytes(), "z"},
      {"total 0 reads one item",
       PageStream().TextRunWithTotal(0, {Item("one")}).TextRun({Item("two")}).End().bytes(),
       "onetwo"},
      {"NUL and CR LF", PageStream().TextRun({Item(std::string("a\0\r\nb", 5))}).End().bytes(),
       std::string("a\0\r\nb", 5)},
      {"runs in order",
       PageStream().TextRun({Item("1"), Item("2")}).TextRun({Item("3")}).End().bytes(), "123"},
  };
  for (const Case& c : cases) {
    const PageResult r = Run(c.stream);
    EXPECT_EQ(r.result, 1) << c.what;
    EXPECT_EQ(r.text, c.text) << c.what;
    EXPECT_EQ(r.messages, 0u) << c.what;
  }
  // An item with flags 3 and two characters counts 7 + 2 + 8 + 4 bytes.
  EXPECT_EQ(Item("ab", 3).size(), 21u);
}

TEST_F(PageText, UnknownCodesRaiseOneMessageEachAndGoOn) {
  const PageResult once =
      Run(PageStream().TextRun({Item("A")}).Code("DT").TextRun({Item("B")}).End().bytes());
  EXPECT_EQ(once.text, "AB");
  EXPECT_EQ(once.messages, 1u);
  // Out of step: each unknown pair is one message until a known code.
  const PageResult garbage = Run(std::string(1000, 'z') + "CT");
  EXPECT_EQ(garbage.messages, 500u);
  EXPECT_EQ(garbage.result, 1);
}

TEST_F(PageText, AStreamCutShortEndsThePageWithWhatWasThere) {
  struct Case {
    const char* what;
    std::string stream;
    std::string text;
  } cases[] = {
      {"no CT", PageStream().TextRun({Item("abc")}).bytes(), "abc"},
      {"empty stream", "", ""},
      {"half a code", "C", ""},
      {"characters cut",
       PageStream().Code("ET").U16(17).Bytes(Item("0123456789").substr(0, 11)).bytes(), "0123"},
      {"item header cut", PageStream().Code("ET").U16(17).Bytes("\1\2\3").bytes(), ""},
      {"total never reached", PageStream().TextRunWithTotal(65535, {Item("x"), Item("y")}).bytes(),
       "xy"},
      {"counted past the end",
       PageStream().TextRun({Item("a")}).Code("CH").U16(60000).Bytes("ET").bytes(), "a"},
      {"count cut", PageStream().Code("CH").U8(1).bytes(), ""},
      {"skip past the end", PageStream().TextRun({Item("a")}).Code("CR").Bytes("ET").bytes(), "a"},
      {"image of 4 GB",
       PageStream()
           .Code("SD")
           .U16(0)
           .Bytes(std::string(60, '\0'))
           .U32(0xFFFFFFFF)
           .Bytes(Marker())
           .bytes(),
       ""},
      {"image header cut", PageStream().Code("SD").U16(0).Bytes(std::string(30, '\0')).bytes(), ""},
      {"wide tail past the end", PageStream().TextRun({Item("ab", 2)}).bytes().substr(0, 14), "ab"},
  };
  for (const Case& c : cases) {
    const PageResult r = Run(c.stream);
    EXPECT_EQ(r.result, 1) << c.what;
    EXPECT_EQ(r.text, c.text) << c.what;
  }
}

TEST_F(PageText, RefusesPagesOutsideTheDocument) {
  for (uint16_t page : {0, 2, 65535}) {
    const PageResult r = Run(PageStream().TextRun({Item("x")}).End().bytes(), page);
    EXPECT_EQ(r.result, 0) << page;
    EXPECT_EQ(r.text, "") << page;
  }
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "P.QRV", DocumentEndingWith("CT")));
  Document document;
  ASSERT_EQ(document.Open(dir_ / "P.QRV"), OpenResult::Opened);
  platform::File closed;
  EXPECT_EQ(PageInterpreter(document).WritePage(closed, 1), 0);
}

}  // namespace
}  // namespace exqrv
