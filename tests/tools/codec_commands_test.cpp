#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "codec/codec_harness.h"
#include "support/scratch_dir.h"
#include "tools/commands.h"

namespace exqrv::codec::testing {
namespace {

class CodecCommands : public ::testing::Test {
 protected:
  std::string Store(const std::string& name, const Bytes& bytes) {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return dir_ / name;
  }
  Bytes Load(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  build::ScratchDir dir_;
};

TEST_F(CodecCommands, ImplodeAndExplodeRoundTripWithEveryOption) {
  const Bytes text = EnglishLikeText(20000);
  const std::string in = Store("in", text);
  const std::vector<tools::Args> options = {
      {}, {"--ascii"}, {"--dict", "1024"}, {"--dict", "2048", "--ascii"}};
  for (tools::Args args : options) {
    const bool ascii = args.size() % 2 == 1;
    args.push_back(in);
    args.push_back(dir_ / "packed");
    ASSERT_EQ(tools::ImplodeCommand(args), 0);
    const Bytes packed = Load("packed");
    EXPECT_EQ(packed[0], ascii ? Ascii : Binary);
    EXPECT_EQ(packed, ImplodeBytes(text, packed[0], 1u << (packed[1] + 6)));
    ASSERT_EQ(tools::ExplodeCommand({dir_ / "packed", dir_ / "out"}), 0);
    EXPECT_EQ(Load("out"), text);
  }
}

// The exit status is the codec's result; file errors give 1 and usage
// errors 2, as in every command.
TEST_F(CodecCommands, ExitStatus) {
  const std::string shortStream = Store("short", FromHex("00 04 01 FF"));
  const std::string badCoding = Store("bad", FromHex("02 04 01 FF 00"));
  const std::string cut = Store("cut", FromHex("00 04 82 02 FE"));
  EXPECT_EQ(tools::ExplodeCommand({shortStream, dir_ / "x"}), 3);
  EXPECT_EQ(tools::ExplodeCommand({badCoding, dir_ / "x"}), 2);
  EXPECT_EQ(tools::ExplodeCommand({cut, dir_ / "x"}), 4);
  EXPECT_EQ(tools::ExplodeCommand({shortStream}), 2);
  EXPECT_EQ(tools::ExplodeCommand({dir_ / "missing", dir_ / "x"}), 1);
  EXPECT_EQ(tools::ImplodeCommand({"--dict", "3000", shortStream, dir_ / "x"}), 2);
  EXPECT_EQ(tools::ImplodeCommand({"--fast", shortStream, dir_ / "x"}), 2);
  EXPECT_EQ(tools::ImplodeCommand({shortStream, dir_ / "no-such-dir/x"}), 1);
}

}  // namespace
}  // namespace exqrv::codec::testing
