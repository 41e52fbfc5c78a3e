// qrvtool explode and implode: the codec on raw streams (no block header).
// The exit status is the codec's result code (0 = success). A file that
// cannot be opened, read or written ends with status 1 and one line on
// stderr; a usage error, as for every command, with status 2 and the usage.
// Status 1 is also the codec's BadDictionarySize, and 2 its BadLiteralCoding:
// explode gives them for a stream whose header is damaged; implode never
// does, since its options only allow valid values.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/converter_app.h"
#include "codec/codec.h"
#include "codec/explode.h"
#include "codec/implode.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "tools/commands.h"

namespace exqrv::tools {
namespace {

constexpr char kStatusDetails[] =
    "The exit status is the codec's result code (0: success); 1 also for a file that cannot be "
    "opened, read or written, 2 for a usage error.";

struct Streams {
  platform::File input;
  platform::File output;
  bool writeFailed = false;
};

uint32_t ReadInput(uint8_t* buffer, uint32_t requested, void* context) {
  return static_cast<Streams*>(context)->input.Read(buffer, requested);
}

void WriteOutput(const uint8_t* buffer, uint32_t count, void* context) {
  auto* streams = static_cast<Streams*>(context);
  if (!streams->writeFailed && !streams->output.Write(buffer, count)) streams->writeFailed = true;
}

// Opens both files; on failure prints why and returns false.
bool OpenStreams(const std::string& in, const std::string& out, Streams& streams) {
  if (!streams.input.Open(platform::VerbatimPath(in), platform::OpenMode::Read)) {
    Fail("cannot open " + in + ": " + streams.input.ErrorText());
    return false;
  }
  // Creating the output truncates it: with the input under another name,
  // that would destroy the input before a byte of it is read.
  if (platform::IsSameFile(platform::VerbatimPath(in), platform::VerbatimPath(out))) {
    Fail(out + " is the input itself: refusing to overwrite it");
    return false;
  }
  if (!streams.output.Open(platform::VerbatimPath(out), platform::OpenMode::Write)) {
    Fail("cannot create " + out + ": " + streams.output.ErrorText());
    return false;
  }
  return true;
}

// Closes the output; the codec's result, or a failure if it was not written.
int Finish(Streams& streams, const std::string& out, codec::BlockResult result) {
  if (!streams.output.Close() || streams.writeFailed) {
    return Fail("cannot write " + out + ": " + streams.output.ErrorText());
  }
  return static_cast<int>(result);
}

struct ImplodeOptions {
  uint32_t dictionarySize = 4096;
  uint32_t literalCoding = codec::Binary;
  std::string in;
  std::string out;
};

// Empty when the words make a command, else why not.
std::string ParseImplodeOptions(const Args& args, ImplodeOptions& options) {
  std::vector<std::string> files;
  const auto option = [&](const Option& given, const std::string& value) {
    if (given.id == OptionId::Ascii) {
      options.literalCoding = codec::Ascii;
    } else if (value != "1024" && value != "2048" && value != "4096") {
      return Wants(given);
    } else {
      options.dictionarySize = static_cast<uint32_t>(std::stoul(value));
    }
    return std::string();
  };
  if (std::string error = ParseCommandLine(ImplodeGrammar(), args, option, Collect(files));
      !error.empty())
    return error;
  if (files.size() != 2) return "implode takes IN and OUT";
  options.in = files[0];
  options.out = files[1];
  return {};
}

}  // namespace

const CommandGrammar& ExplodeGrammar() {
  static const CommandGrammar grammar{.name = "explode",
                                      .operands = "IN OUT",
                                      .summary = "expand a raw stream",
                                      .details = kStatusDetails,
                                      .takesOptions = false};
  return grammar;
}

const CommandGrammar& ImplodeGrammar() {
  static const CommandGrammar grammar{
      .name = "implode",
      .options = {{.id = OptionId::Dictionary,
                   .name = "--dict",
                   .argument = "1024|2048|4096",
                   .wants = "1024, 2048 or 4096",
                   .help = "the dictionary's size in bytes (default 4096)"},
                  {.id = OptionId::Ascii,
                   .name = "--ascii",
                   .help = "codes the literal bytes for text (default: for any bytes)"}},
      .operands = "IN OUT",
      .summary = "compress into a raw stream",
      .details = kStatusDetails,
      .dashIsOperand = true};
  return grammar;
}

int ExplodeCommand(const Args& args) {
  if (args.size() != 2) return UsageError("explode takes IN and OUT", ExplodeGrammar());
  auto work = std::unique_ptr<codec::ExplodeWork>(new (std::nothrow) codec::ExplodeWork);
  if (!work) return Fail("out of memory");
  Streams streams;
  if (!OpenStreams(args[0], args[1], streams)) return kExitFailure;
  const codec::BlockResult result = codec::Explode(ReadInput, WriteOutput, *work, &streams);
  return Finish(streams, args[1], result);
}

int ImplodeCommand(const Args& args) {
  ImplodeOptions options;
  if (const std::string error = ParseImplodeOptions(args, options); !error.empty()) {
    return UsageError(error, ImplodeGrammar());
  }
  auto work = std::unique_ptr<codec::ImplodeWork>(new (std::nothrow) codec::ImplodeWork);
  if (!work) return Fail("out of memory");
  Streams streams;
  if (!OpenStreams(options.in, options.out, streams)) return kExitFailure;
  const codec::BlockResult result = codec::Implode(ReadInput, WriteOutput, *work, &streams,
                                                   options.literalCoding, options.dictionarySize);
  return Finish(streams, options.out, result);
}

}  // namespace exqrv::tools
