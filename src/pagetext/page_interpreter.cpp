// The page content interpreter: walks a page's command stream and writes the
// characters of its text runs, stepping over every other command.
//
// A stream that runs out of data (the end of the file, or of the expanded
// page) ends the page at once: only bytes actually read are written, and no
// loop goes on after a read that delivered nothing.
#include "pagetext/page_interpreter.h"

#include <cstring>

#include "platform/little_endian.h"
#include "platform/prompter.h"

namespace exqrv {
namespace {

constexpr uint16_t CodeOf(char first, char second) {
  return static_cast<uint16_t>(static_cast<uint8_t>(first) | (static_cast<uint8_t>(second) << 8));
}

enum class Operands { None, Skip, Counted, InlineImage, Text, End };

struct CommandInfo {
  uint16_t code;
  Operands operands;
  uint32_t skip;  // for Operands::Skip
};

constexpr CommandInfo kCommands[] = {
    {CodeOf('R', '2'), Operands::Skip, 2},    {CodeOf('B', 'C'), Operands::Skip, 4},
    {CodeOf('T', 'C'), Operands::Skip, 4},    {CodeOf('S', 'D'), Operands::InlineImage, 0},
    {CodeOf('B', 'H'), Operands::Skip, 4},    {CodeOf('C', 'H'), Operands::Counted, 0},
    {CodeOf('C', 'I'), Operands::Counted, 0}, {CodeOf('P', 'I'), Operands::Counted, 0},
    {CodeOf('P', 'L'), Operands::Counted, 0}, {CodeOf('B', 'M'), Operands::Skip, 2},
    {CodeOf('P', 'N'), Operands::Skip, 4},    {CodeOf('A', 'P'), Operands::Counted, 0},
    {CodeOf('E', 'P'), Operands::Counted, 0}, {CodeOf('W', 'P'), Operands::Counted, 0},
    {CodeOf('A', 'R'), Operands::Counted, 0}, {CodeOf('C', 'R'), Operands::Skip, 8},
    {CodeOf('F', 'R'), Operands::Counted, 0}, {CodeOf('R', 'R'), Operands::Counted, 0},
    {CodeOf('C', 'T'), Operands::End, 0},     {CodeOf('E', 'T'), Operands::Text, 0},
    {CodeOf('F', 'T'), Operands::Skip, 4},    {CodeOf('R', 'T'), Operands::Counted, 0},
    {CodeOf('E', 'U'), Operands::Text, 0},
};

const CommandInfo* FindCommand(uint16_t code) {
  for (const CommandInfo& info : kCommands) {
    if (info.code == code) return &info;
  }
  return nullptr;
}

constexpr uint32_t kImageHeaderSize = 60;
constexpr uint32_t kBitsPerPixelOffset = 34;
constexpr uint32_t kItemHeaderSize = 7;
constexpr uint32_t kItemCountOffset = 4;
constexpr uint32_t kItemFlagsOffset = 6;
constexpr uint8_t kEightByteTail = 0x01;
constexpr uint8_t kWideTail = 0x02;
constexpr uint32_t kEightByteTailSize = 8;

uint32_t ColourTableSize(uint16_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: return 8;
    case 4: return 64;
    case 8: return 1024;
    default: return 0;
  }
}

}  // namespace

int32_t PageInterpreter::WritePage(platform::ByteSink& output, uint16_t page) {
  platform::File& file = document_.file();
  if (page == 0 || page > document_.PageCount() || !file.IsOpen() || !output.IsOpen()) return 0;
  if (document_.LoadPage(page) == PageLoadResult::FormatError) return 0;
  const int64_t position = file.Position();
  file.Seek(document_.pageTable()[page - 1].contentOffset, platform::SeekOrigin::Begin);
  // Text files are the usual output: one look per page saves a virtual call
  // per text item.
  if (auto* const textFile = dynamic_cast<platform::File*>(&output)) RunPage(*textFile);
  else RunPage(output);
  file.Seek(position, platform::SeekOrigin::Begin);
  return 1;
}

template <typename Output>
void PageInterpreter::RunPage(Output& output) {
  pageEnded_ = false;
  while (!pageEnded_) {
    uint8_t code[2];
    if (!ReadField(code, sizeof code)) break;
    if (Execute(output, ReadLe16(code)) == 1) break;
  }
}

int32_t PageInterpreter::ExecuteCommand(platform::ByteSink& output, uint16_t code) {
  return Execute(output, code);
}

template <typename Output>
int32_t PageInterpreter::Execute(Output& output, uint16_t code) {
  const CommandInfo* info = FindCommand(code);
  if (info == nullptr) {
    // The stream is not stepped on: the next two bytes are read as a code.
    platform::CurrentPrompter().Show(kUnexpectedCommandMessage, platform::Buttons::Ok,
                                     platform::Icon::Exclamation);
    return 0;
  }
  switch (info->operands) {
    case Operands::End: return 1;
    case Operands::Skip: Skip(info->skip); break;
    case Operands::Counted: SkipCounted(); break;
    case Operands::InlineImage: SkipInlineImage(); break;
    case Operands::Text: RunText(output); break;
    case Operands::None: break;
  }
  return 0;
}

bool PageInterpreter::Skip(uint32_t count) {
  if (document_.file().Seek(count, platform::SeekOrigin::Current) < 0) pageEnded_ = true;
  return !pageEnded_;
}

// Reads exactly count bytes, or ends the page.
bool PageInterpreter::ReadField(void* buffer, uint32_t count) {
  if (document_.file().Read(buffer, count) < count) pageEnded_ = true;
  return !pageEnded_;
}

bool PageInterpreter::SkipCounted() {
  uint8_t count[2];
  return ReadField(count, sizeof count) && Skip(ReadLe16(count));
}

bool PageInterpreter::SkipInlineImage() {
  uint8_t count[2];
  if (!ReadField(count, sizeof count)) return false;
  if (ReadLe16(count) != 0) return Skip(ReadLe16(count));
  uint8_t header[kImageHeaderSize];
  if (!ReadField(header, kImageHeaderSize)) return false;
  if (!Skip(ColourTableSize(ReadLe16(header + kBitsPerPixelOffset)))) return false;
  uint8_t length[4];
  return ReadField(length, sizeof length) && Skip(ReadLe32(length));
}

// The characters of an item go to the output as one piece.
template <typename Output>
bool PageInterpreter::RunText(Output& output) {
  platform::File& file = document_.file();
  uint8_t totalBytes[2];
  if (!ReadField(totalBytes, sizeof totalBytes)) return false;
  const uint16_t total = ReadLe16(totalBytes);
  uint16_t counted = 0;  // wraps at 65536, as the run's total does
  do {
    uint8_t header[kItemHeaderSize];
    const uint32_t headerGot = file.Read(header, kItemHeaderSize);
    counted = static_cast<uint16_t>(counted + headerGot);
    if (headerGot < kItemHeaderSize) {
      pageEnded_ = true;
      return false;
    }
    const uint16_t n = ReadLe16(header + kItemCountOffset);
    const uint8_t flags = header[kItemFlagsOffset];
    if (n > 0) {
      // The characters go straight from the page's buffer to the output's
      // when the page's buffer holds them all, as it mostly does.
      if (const uint8_t* characters = file.ReadInPlace(n)) {
        counted = static_cast<uint16_t>(counted + n);
        output.Write(characters, n);
      } else {
        // Else one item's characters at a time, in a buffer kept between items.
        if (characters_.size() < n + 1u) characters_.resize(n + 1u);
        const uint32_t got = file.Read(characters_.data(), n);
        counted = static_cast<uint16_t>(counted + got);
        output.Write(characters_.data(), got);
        if (got < n) {
          pageEnded_ = true;
          return false;
        }
      }
    }
    if (flags & kEightByteTail) {
      if (!Skip(kEightByteTailSize)) return false;
      counted = static_cast<uint16_t>(counted + kEightByteTailSize);
    }
    if (flags & kWideTail) {
      if (!Skip(2u * n)) return false;
      counted = static_cast<uint16_t>(counted + 2u * n);
    }
  } while (counted < total);
  return true;
}

}  // namespace exqrv
