// The implode-format codec: the callbacks through which it pulls input and
// pushes output, its results, and its two entry points.
#pragma once

#include <cstddef>
#include <cstdint>

namespace exqrv::codec {

// Fills buffer with up to requested bytes; returns how many; 0 = input ended.
using ReadCallback = uint32_t (*)(uint8_t* buffer, uint32_t requested, void* context);
// Takes count bytes of output.
using WriteCallback = void (*)(const uint8_t* buffer, uint32_t count, void* context);

enum LiteralCoding : uint32_t { Binary = 0, Ascii = 1 };

// Results shared by the codec and the block container.
enum class BlockResult : int32_t {
  Ok = 0,
  BadDictionarySize = 1,
  BadLiteralCoding = 2,
  InputTooShort = 3,
  DataError = 4,
  OutOfMemory = 7,
  BadMagic = 8,
};

struct ExplodeWork;  // all decoder state; see explode.h
struct ImplodeWork;  // all encoder state; see implode.h

// Decodes one stream. Reads of 2048 bytes, writes of 4096 and a final rest.
BlockResult Explode(ReadCallback read, WriteCallback write, ExplodeWork& work, void* context);

// Encodes one stream. Reads up to 4096-byte batches, writes of 2048 and a
// final rest. Clears what it reads before writing it (the window and the
// table of latest pairs), so the output depends on the input alone.
BlockResult Implode(ReadCallback read, WriteCallback write, ImplodeWork& work, void* context,
                    const uint32_t& literalCoding, const uint32_t& dictionarySize);

// The running CRC-32 (reflected 0xEDB88320) over count bytes, without the
// final complement. Start with 0xFFFFFFFF.
uint32_t Crc32Update(const uint8_t* data, size_t count, uint32_t running);

}  // namespace exqrv::codec
