// The programs as a user runs them: exqrv on the command line, qrvtool text
// and verify, the manual pages, the desktop entry and the installed layout.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "builder/document_builder.h"
#include "codec/compressed_block.h"
#include "platform/platform.h"
#include "support/program_cases.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::TextPage;

const std::string kBinary = EXQRV_BINARY_DIR;
const std::string kSource = EXQRV_SOURCE_DIR;

struct Outcome {
  int status;
  std::string out;
};

std::string Quoted(const std::string& path);

// Runs a shell command; returns its exit status and standard output. The
// command runs in a session of its own, without the controlling terminal of
// whoever started the tests: a question would otherwise wait for them.
Outcome Shell(const std::string& command) {
  Outcome outcome{-1, {}};
  FILE* pipe = ::popen(("exec setsid -w /bin/sh -c " + Quoted(command)).c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, got);
  const int status = ::pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

// A path as one shell word, whatever it holds (the clone may live under a
// folder with spaces or quotes in its name).
std::string Quoted(const std::string& path) {
  std::string word = "'";
  for (char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

const std::string kExqrv = Quoted(kBinary + "/exqrv");

class Tools : public ::testing::Test {
 protected:
  std::string Qrvtool(const std::string& args) { return Quoted(kBinary + "/qrvtool") + " " + args; }
  build::ScratchDir dir_;
};

// exqrv as a script runs it: no terminal to answer on, messages on standard
// error, the exit status telling how the run went. "@" in a case stands for
// the scratch folder: its POSIX path in the arguments, its system path in the
// messages.
struct ExqrvCase {
  const char* what;
  const char* environment;  // assignments before the command
  const char* args;         // as typed to the shell in the scratch folder
  int status;
  std::string errors;                                      // standard error, byte for byte
  std::vector<std::pair<std::string, std::string>> texts;  // file, content
  std::vector<std::string> absent;
};

TEST_F(Tools, ExqrvOnTheCommandLine) {
  const std::string folder = std::filesystem::canonical(dir_.path()).string();
  std::filesystem::create_directories(dir_ / "sub");
  std::filesystem::create_directories(dir_ / "mixed");
  std::filesystem::create_directories(dir_ / "odd");
  auto write = [&](const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(build::WriteFileBytes(dir_ / name, bytes)) << name;
  };
  write("BOOK.QRV", build::BuildDocument({.pages = {TextPage({"one "}), TextPage({"two"})},
                                          .notes = {{1, "[n", "]"}}}));
  write("sub/A.QRV", build::BuildDocument({.pages = {TextPage({"alpha"})}, .compress = true}));
  write("sub/b.qrv", build::BuildDocument({.pages = {TextPage({"beta"})}}));
  write("mixed/GOOD.QRV", build::BuildDocument({.pages = {TextPage({"good"})}}));
  write("mixed/BAD.QRV", "not a document");
  write("odd/ODD.QRV", build::UnknownCommandDocument());
  const std::string usage = "Arguments ERROR!\r\nExQRV QRVFileName [/TXTDirectory]\n";

  const ExqrvCase cases[] = {
      {"one document here", "", "BOOK.QRV", 0, "", {{"BOOK.TXT", "one [n]two"}}, {}},
      {"missing target, no terminal",
       "",
       "'sub/*.QRV' /out",
       2,
       folder + "/out Directory not exist!\r\nCreate it?\nNo terminal to answer on: taking No.\n",
       {},
       {"out", "sub/A.TXT"}},
      {"every match, any case",
       "",
       "'sub/*.QRV' /sub",
       0,
       "",
       {{"sub/A.TXT", "alpha"}, {"sub/b.TXT", "beta"}},
       {}},
      {"absolute source and target",
       "",
       "'@/sub/*.qrv' //@/mixed",
       0,
       "",
       {{"mixed/A.TXT", "alpha"}, {"mixed/b.TXT", "beta"}},
       {}},
      {"two separators", "", "A.QRV B.QRV /OUT", 2, usage, {}, {"OUT"}},
      {"second token without slash", "", "BOOK.QRV OUT", 2, usage, {}, {"OUT"}},
      {"nothing matches",
       "",
       "'none*.QRV'",
       1,
       std::string("exqrv: none*.QRV: ") + kNothingMatches + "\n",
       {},
       {}},
      {"one document fails, the next is converted",
       "",
       "'mixed/*.QRV' /mixed",
       1,
       std::string("exqrv: BAD.QRV: ") + kNotADocument + "\n",
       {{"mixed/GOOD.TXT", "good"}},
       {"mixed/BAD.TXT"}},
      {"unknown pairs, said once for the page",
       "",
       "odd/ODD.QRV",
       0,
       "exqrv: ODD.QRV: page 1: unexpect command! (3 times)\n",
       {{"ODD.TXT", "AB"}},
       {}},
      {"unusable TMPDIR",
       "TMPDIR=@/none",
       "sub/A.QRV",
       1,
       "exqrv: A.QRV: no temporary file could be made, so it was not converted (the temporary "
       "folder " +
           folder + "/none cannot be used: No such file or directory)\n",
       {},
       {"A.TXT"}},
  };
  for (const ExqrvCase& c : cases) {
    const Outcome run = Shell(
        "cd " + Quoted(folder) + " && " + build::Substituted(c.environment, folder) + " " + kExqrv +
        " " + build::Substituted(c.args, folder) + " </dev/null 2>" + Quoted(dir_ / "errors"));
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(build::ReadFileBytes(dir_ / "errors"), c.errors) << c.what;
    for (const auto& [file, content] : c.texts) {
      EXPECT_EQ(build::ReadFileBytes(dir_ / file), content) << c.what << ": " << file;
    }
    for (const std::string& file : c.absent) {
      EXPECT_FALSE(std::filesystem::exists(dir_ / file)) << c.what << ": " << file;
    }
  }
}

// The question about a missing target, answered Yes on a real terminal.
TEST_F(Tools, AYesOnTheTerminalCreatesTheTarget) {
  std::filesystem::create_directories(dir_ / "SUB");
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "SUB/BOOK.QRV",
                                    build::BuildDocument({.pages = {TextPage({"book"})}})));
  const Outcome run = Shell("cd " + Quoted(dir_.path()) + " && printf 'y\\n' | script -qec " +
                            Quoted(kExqrv + " 'SUB/BOOK.QRV' /OUT") + " /dev/null");
  EXPECT_EQ(run.status, 0) << run.out;
  // The terminal shows the question (its line breaks as the terminal makes them).
  EXPECT_NE(run.out.find("OUT Directory not exist!"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Create it?"), std::string::npos) << run.out;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "OUT/BOOK.TXT"), "book");
}

TEST_F(Tools, TextEqualsWhatExqrvWrites) {
  build::DocumentRecipe recipe{
      .pages = {TextPage({"one "}), TextPage({"two "}), TextPage({"three"})},
      .notes = {{2, "[a", "b]"}, {3, "[c", "d]"}},
      .compress = true,
      .compressNotes = true};
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "BOOK.QRV", build::BuildDocument(recipe)));
  const Outcome converted = Shell("cd " + Quoted(dir_.path()) + " && " + kExqrv + " BOOK.QRV 2>&1");
  ASSERT_EQ(converted.status, 0) << converted.out;
  const std::string written = build::ReadFileBytes(dir_ / "BOOK.TXT");
  EXPECT_EQ(written, "one two [ab]three[cd]");

  EXPECT_EQ(Shell(Qrvtool("text " + Quoted(dir_ / "BOOK.QRV"))).out, written);
  EXPECT_EQ(Shell(Qrvtool("text --pages 2-3 " + Quoted(dir_ / "BOOK.QRV"))).out,
            "two [ab]three[cd]");
  EXPECT_EQ(Shell(Qrvtool("text --pages 2 --no-notes " + Quoted(dir_ / "BOOK.QRV"))).out, "two ");
  EXPECT_EQ(Shell(Qrvtool("text --pages 3-1 " + Quoted(dir_ / "BOOK.QRV")) + " 2>/dev/null").status,
            2);
  EXPECT_EQ(Shell(Qrvtool("text " + Quoted(dir_ / "NONE.QRV")) + " 2>/dev/null").status, 1);
}

TEST_F(Tools, VerifyNamesTheDamagedBlock) {
  const std::string sound =
      build::BuildDocument({.pages = {TextPage({"alpha"}), TextPage({std::string(3000, 'b')})},
                            .notes = {{1, "n", "m"}},
                            .compress = true,
                            .compressNotes = true});
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "OK.QRV", sound));
  const Outcome ok = Shell(Qrvtool("verify " + Quoted(dir_ / "OK.QRV")));
  EXPECT_EQ(ok.status, 0) << ok.out;

  // Page 2's block lies after page 1's: find it through qrvtool's own view.
  const Outcome info = Shell(Qrvtool("info " + Quoted(dir_ / "OK.QRV")));
  const size_t at = info.out.find("page 2: content offset ");
  ASSERT_NE(at, std::string::npos) << info.out;
  const uint32_t page2 = static_cast<uint32_t>(std::stoul(info.out.substr(at + 23)));

  std::string flipped = sound;
  flipped[page2 + codec::kBlockHeaderSize + 5] ^= 0x10;  // a byte of the page's stream
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "FLIP.QRV", flipped));
  const Outcome flip = Shell(Qrvtool("verify " + Quoted(dir_ / "FLIP.QRV")));
  EXPECT_EQ(flip.status, 1);
  EXPECT_NE(flip.out.find("page 2 at offset " + std::to_string(page2)), std::string::npos)
      << flip.out;

  std::string wrongCrc = sound;
  auto* header = reinterpret_cast<uint8_t*>(wrongCrc.data() + page2);
  codec::BlockHeader stored = codec::BlockHeader::Parse(header);
  stored.crc ^= 1;
  stored.Serialize(header);
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "CRC.QRV", wrongCrc));
  const Outcome crc = Shell(Qrvtool("verify " + Quoted(dir_ / "CRC.QRV")));
  EXPECT_EQ(crc.status, 1);
  EXPECT_NE(crc.out.find("page 2 at offset " + std::to_string(page2) + ": CRC-32"),
            std::string::npos)
      << crc.out;
}

TEST_F(Tools, VerifyChecksThePagesOfAPlainDocument) {
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "PLAIN.QRV",
                                    build::BuildDocument({.pages = {TextPage({"x"}), "ETzz"}})));
  const Outcome plain = Shell(Qrvtool("verify " + Quoted(dir_ / "PLAIN.QRV")));
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.out.find("page 2"), std::string::npos) << plain.out;
}

TEST_F(Tools, ManualPagesRenderWithoutWarnings) {
  for (const char* page : {"exqrv.1", "qrvtool.1"}) {
    const Outcome rendered =
        Shell("groff -ww -man -Tutf8 " + Quoted(kSource + "/doc/" + page) + " 2>&1 >/dev/null");
    EXPECT_EQ(rendered.status, 0) << page;
    EXPECT_EQ(rendered.out, "") << page;
  }
}

TEST_F(Tools, DesktopEntryValidates) {
  const Outcome valid =
      Shell("desktop-file-validate " + Quoted(kSource + "/data/exqrv.desktop") + " 2>&1");
  EXPECT_EQ(valid.status, 0);
  EXPECT_EQ(valid.out, "");
}

#ifdef EXQRV_WITH_QT
// Without arguments exqrv loads the dialog module beside it; with arguments
// it never maps Qt. Each case runs with no display, so a dialog that got as
// far as opening would not; the status tells which way it ended.
TEST_F(Tools, ExqrvLoadsTheDialogModuleOnlyWithoutArguments) {
  const Outcome linked = Shell("ldd " + kExqrv);
  ASSERT_EQ(linked.status, 0);
  EXPECT_EQ(linked.out.find("Qt"), std::string::npos) << linked.out;

  const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
  const Outcome shown = Shell(noDisplay + kExqrv + " 2>&1 </dev/null");
  EXPECT_EQ(shown.status, 2);
  EXPECT_NE(shown.out.find("no display"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("usage: ExQRV QRVFileName [/TXTDirectory]"), std::string::npos);

  // A copy of the program without its module says what is missing.
  std::filesystem::copy_file(kBinary + "/exqrv", dir_ / "exqrv");
  const Outcome missing = Shell(noDisplay + Quoted(dir_ / "exqrv") + " 2>&1 </dev/null");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("exqrv-dialog.so"), std::string::npos) << missing.out;
  EXPECT_EQ(missing.out.find("no display"), std::string::npos) << missing.out;

  // With arguments the copy converts as before.
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "BOOK.QRV",
                                    build::BuildDocument({.pages = {TextPage({"book"})}})));
  const Outcome converted =
      Shell("cd " + Quoted(dir_.path()) + " && ./exqrv BOOK.QRV 2>&1 </dev/null");
  EXPECT_EQ(converted.status, 0) << converted.out;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "BOOK.TXT"), "book");
}

// `exqrv --dialog -- [DOCUMENT]` goes for the dialog (here, with no display,
// it says so) only as the whole command line; any other line keeps the
// grammar's meaning, and converts nothing it would not.
TEST_F(Tools, DialogStartCountsOnlyAsTheWholeCommandLine) {
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "BOOK.QRV",
                                    build::BuildDocument({.pages = {TextPage({"book"})}})));
  const struct {
    std::string arguments;
    int status;
    const char* said;
  } cases[] = {
      {"--dialog -- BOOK.QRV", 2, "no display"},
      {"--dialog -- " + Quoted(dir_ / "BOOK.QRV"), 2, "no display"},
      {"--dialog --", 2, "no display"},
      {"--dialog -- " + Quoted(dir_.path()) + "/", 2, "no display"},
      {"--dialog -- missing/BOOK.QRV", 2, "missing: No such file or directory"},
      {"--dialog -- BOOK.QRV extra", 2, "Arguments ERROR!"},
      {"--dialog", 1, "--dialog"},
  };
  for (const auto& c : cases) {
    const Outcome ran = Shell("cd " + Quoted(dir_.path()) +
                              " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + kExqrv +
                              " " + c.arguments + " 2>&1 </dev/null");
    EXPECT_EQ(ran.status, c.status) << c.arguments << ": " << ran.out;
    EXPECT_NE(ran.out.find(c.said), std::string::npos) << c.arguments << ": " << ran.out;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "BOOK.TXT")) << c.arguments;
  }
}
#endif

TEST_F(Tools, InstallLaysOutTheFiles) {
  const Outcome installed = Shell("DESTDIR=" + Quoted(dir_ / "stage") + " cmake --install " +
                                  Quoted(kBinary) + " --prefix /usr 2>&1");
  ASSERT_EQ(installed.status, 0) << installed.out;
  for (const char* file :
       {"usr/bin/exqrv", "usr/bin/qrvtool", "usr/share/man/man1/exqrv.1.gz",
        "usr/share/man/man1/qrvtool.1.gz", "usr/share/applications/exqrv.desktop",
        "usr/share/icons/hicolor/32x32/apps/exqrv.png",
        "usr/share/icons/hicolor/64x64/apps/exqrv.png", "usr/share/mime/packages/exqrv.xml",
        "usr/share/bash-completion/completions/qrvtool",
        "usr/share/bash-completion/completions/exqrv", "usr/share/exqrv/recoll/mimemap",
        "usr/share/exqrv/recoll/mimeconf"}) {
    EXPECT_TRUE(std::filesystem::exists(dir_ / ("stage/" + std::string(file)))) << file;
  }
#ifdef EXQRV_WITH_QT
  // The installed program finds its dialog module in the multiarch folder.
  const Outcome module =
      Shell("test -f " + Quoted(dir_ / "stage/usr/lib") +
            "/\"$(dpkg-architecture -qDEB_HOST_MULTIARCH)\"/exqrv/exqrv-dialog.so");
  EXPECT_EQ(module.status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "stage/usr/bin/exqrv-dialog.so"));
  const Outcome shown = Shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                              Quoted(dir_ / "stage/usr/bin/exqrv") + " 2>&1 </dev/null");
  EXPECT_EQ(shown.status, 2);
  EXPECT_NE(shown.out.find("no display"), std::string::npos) << shown.out;
#endif
}

}  // namespace
}  // namespace exqrv
