// Quillor documents found by desktop search: qrvtool recoll-setup puts the
// installed fragment's entries into a Recoll configuration folder, keeping
// the user's own lines; Recoll's indexer then finds documents by the words of
// their pages and notes. Everything lives in the test's scratch folder, the
// home folder the programs see included.
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

namespace fs = std::filesystem;
using build::TextPage;

const std::string kBinary = EXQRV_BINARY_DIR;

struct Ran {
  int status = -1;
  std::string out, err;
};

class DesktopSearch : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(home_); }

  // Runs a shell command line with no standard input, HOME in the scratch
  // folder and the programs of the build first on PATH.
  Ran Run(const std::string& command) {
    const std::string line = "HOME='" + home_ + "' PATH='" + kBinary + "':\"$PATH\" " + command +
                             " </dev/null 2>'" + (dir_ / "stderr") + "'";
    Ran ran;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) return ran;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      ran.out.append(buffer, got);
    const int status = ::pclose(pipe);
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ran.err = build::ReadFileBytes(dir_ / "stderr");
    return ran;
  }
  Ran Setup(const std::string& folder) {
    return Run("env -u RECOLL_CONFDIR qrvtool recoll-setup '" + folder + "'");
  }
  void Write(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(build::WriteFileBytes(path, bytes)) << path;
  }

  build::ScratchDir dir_;
  const std::string home_ = dir_ / "home";
};

const std::string kMapEntry = ".qrv = application/x-quillor-document\n";
const std::string kConfEntry =
    "application/x-quillor-document = exec qrvtool text --encoding CP1252;mimetype=text/plain;"
    "charset=utf-8\n";
const std::string kComment = "# Quillor documents (qrvtool recoll-setup)\n";

// Each case runs recoll-setup twice: the second run must change nothing.
TEST_F(DesktopSearch, RecollSetupKeepsEveryLineAndAddsEachEntryOnce) {
  const struct {
    const char* what;
    std::optional<std::string> mimemap, mimeconf;  // before; nullopt: no such file
    std::string mimemapAfter, mimeconfAfter;
    int status;
    const char* said;  // in standard output (first run) or standard error (failure)
  } cases[] = {
      {"a new folder", std::nullopt, std::nullopt, kComment + kMapEntry,
       kComment + "[index]\n" + kConfEntry, 0, "added to"},
      {"the user's own files", "# mine\n.foo = text/plain\n[~/mail]\n.qrv = text/plain",
       "[index]\ntext/x-foo = exec foo \\\n  --all\n[icons]\ntext/x-foo = txt",
       "# mine\n.foo = text/plain\n" + kComment + kMapEntry + "[~/mail]\n.qrv = text/plain",
       "[index]\ntext/x-foo = exec foo \\\n  --all\n[icons]\ntext/x-foo = txt\n" + kComment +
           "[index]\n" + kConfEntry,
       0, "added to"},
      {"a file ending in a continued line", std::nullopt, "[index]\ntext/x-foo = exec foo \\\n",
       kComment + kMapEntry, "[index]\ntext/x-foo = exec foo \\\n\n" + kComment + kConfEntry, 0,
       "added to"},
      {"entries already there, written otherwise", ".qrv=application/x-quillor-document\r\n",
       "[index]\n  " + kConfEntry, ".qrv=application/x-quillor-document\r\n",
       "[index]\n  " + kConfEntry, 0, "already has the entries"},
      {"the suffix taken by another type", "# mine\n.qrv = text/plain\n", std::nullopt,
       "# mine\n.qrv = text/plain\n", kComment + "[index]\n" + kConfEntry, 1,
       "has its own .qrv = text/plain; kept it"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string folder = dir_ / ("conf" + std::to_string(n++));
    if (c.mimemap) Write(folder + "/mimemap", *c.mimemap);
    if (c.mimeconf) Write(folder + "/mimeconf", *c.mimeconf);
    const Ran first = Setup(folder);
    EXPECT_EQ(first.status, c.status) << c.what << ": " << first.err;
    EXPECT_NE((c.status == 0 ? first.out : first.err).find(c.said), std::string::npos)
        << c.what << ": " << first.out << first.err;
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(build::ReadFileBytes(folder + "/mimemap"), c.mimemapAfter)
          << c.what << ", run " << run;
      EXPECT_EQ(build::ReadFileBytes(folder + "/mimeconf"), c.mimeconfAfter)
          << c.what << ", run " << run;
      if (run == 0) {
        const Ran again = Setup(folder);
        EXPECT_EQ(again.status, c.status) << c.what;
        EXPECT_EQ(again.out.find("added"), std::string::npos) << c.what << ": " << again.out;
      }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2) << c.what;
  }
}

// Without a folder: Recoll's own choice, RECOLL_CONFDIR or else ~/.recoll. A
// file kept elsewhere through a link stays there.
TEST_F(DesktopSearch, RecollSetupFindsRecollsFolder) {
  Write(dir_ / "dotfiles/mimeconf", "[index]\n");
  fs::create_directories(home_ + "/.recoll");
  fs::create_symlink(dir_ / "dotfiles/mimeconf", home_ + "/.recoll/mimeconf");
  const Ran byHome = Run("env -u RECOLL_CONFDIR qrvtool recoll-setup");
  EXPECT_EQ(byHome.status, 0) << byHome.err;
  EXPECT_EQ(build::ReadFileBytes(home_ + "/.recoll/mimemap"), kComment + kMapEntry);
  EXPECT_TRUE(fs::is_symlink(home_ + "/.recoll/mimeconf"));
  EXPECT_EQ(build::ReadFileBytes(dir_ / "dotfiles/mimeconf"), "[index]\n" + kComment + kConfEntry);

  const Ran byVariable = Run("RECOLL_CONFDIR='" + (dir_ / "own") + "' qrvtool recoll-setup");
  EXPECT_EQ(byVariable.status, 0) << byVariable.err;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "own/mimemap"), kComment + kMapEntry);

  EXPECT_EQ(Run("qrvtool recoll-setup a b").status, 2);
}

// Run by root on a folder another user owns, recoll-setup follows no link
// that user planted, for the file or for the folder: it would otherwise read
// and rewrite what only root may, here in a folder only root can enter.
TEST_F(DesktopSearch, RecollSetupFollowsNoLinkAnotherUserPlanted) {
  const passwd* other = ::getpwnam("nobody");
  if (::geteuid() != 0 || other == nullptr) {
    GTEST_SKIP() << "needs root and the user nobody, to own a link as another user";
  }
  const std::string secret = dir_ / "root-only";
  Write(secret + "/mimemap", "# root's own\n");
  fs::permissions(secret, fs::perms::owner_all);
  const std::string theirs = dir_ / "theirs";
  fs::create_directories(theirs);
  ASSERT_EQ(::chown(theirs.c_str(), other->pw_uid, other->pw_gid), 0);
  const struct {
    std::string folder, link, target;  // the folder set up, the link in it
  } cases[] = {
      {theirs, theirs + "/mimemap", secret + "/mimemap"},
      {dir_ / "linked", dir_ / "linked", secret},
  };
  for (const auto& c : cases) {
    fs::create_symlink(c.target, c.link);
    ASSERT_EQ(::lchown(c.link.c_str(), other->pw_uid, other->pw_gid), 0);
    const Ran setup = Setup(c.folder);
    EXPECT_EQ(setup.status, 1) << c.link;
    EXPECT_NE(setup.err.find(c.link + " is a link another user owns; not following it"),
              std::string::npos)
        << setup.err;
    EXPECT_EQ(build::ReadFileBytes(secret + "/mimemap"), "# root's own\n") << c.link;
    EXPECT_FALSE(fs::exists(secret + "/mimeconf")) << c.link;
    EXPECT_TRUE(fs::is_symlink(c.link));
  }
}

// Recoll with the entries recoll-setup put beside a mimeconf of the user's:
// a word of a page, a word of a note and a word with a code-page letter each
// find their document, plain or compressed, and the damaged documents among
// them stop nothing.
TEST_F(DesktopSearch, RecollFindsDocumentsByTheirPagesAndNotes) {
  if (Run("command -v recollindex && command -v recollq").status != 0) {
    GTEST_SKIP() << "recollcmd is not installed (apt-get install recollcmd): Recoll not tried";
  }
  const std::string docs = dir_ / "docs", conf = dir_ / "conf";
  const std::string compressed = build::BuildDocument(
      {.pages = {TextPage({"dear Hannelore, "}), TextPage({"the parcel came"})},
       .notes = {{2, "[", "postmarked Tuesday]"}},
       .compress = true,
       .compressNotes = true});
  Write(docs + "/RIVER.QRV",
        build::BuildDocument({.pages = {TextPage({"the river Wendle "}), TextPage({"flows past"})},
                              .notes = {{1, "[Margin] ", "the millwheel was rebuilt"}}}));
  Write(docs + "/letters.qrv", compressed);
  Write(
      docs + "/HEART.QRV",
      build::BuildDocument({.pages = {TextPage({"au c\x9C", "ur de l'hiver"})}, .compress = true}));
  Write(docs + "/CUT.QRV", compressed.substr(0, compressed.size() / 2));
  Write(docs + "/NOTHING.QRV", "Qlrd and nothing else");
  // Nothing of the folders above the documents is skipped, whatever they are
  // called on this machine.
  Write(conf + "/recoll.conf",
        "topdirs = \"" + docs + "\"\nskippedPaths =\nskippedNames =\nnoaspell = 1\n");
  Write(conf + "/mimeconf", "[index]\ntext/x-foo = exec cat\n[icons]\ntext/x-foo = txt\n");
  const Ran setup = Setup(conf);
  ASSERT_EQ(setup.status, 0) << setup.err;

  const Ran indexed = Run("recollindex -c '" + conf + "'");
  ASSERT_EQ(indexed.status, 0) << indexed.err;

  const struct {
    const char* word;
    const char* document;
  } cases[] = {
      {"Wendle", "RIVER.QRV"},       {"millwheel", "RIVER.QRV"},   {"Hannelore", "letters.qrv"},
      {"postmarked", "letters.qrv"}, {"c\xC5\x93ur", "HEART.QRV"},
  };
  for (const auto& c : cases) {
    const Ran found = Run("recollq -c '" + conf + "' -b '" + c.word + "'");
    EXPECT_EQ(found.status, 0) << c.word << ": " << found.err;
    EXPECT_EQ(found.out, "file://" + docs + "/" + c.document + "\n") << c.word;
  }
  // The letter itself, not just a word Recoll makes of the bytes.
  const Ran text = Run("recollq -c '" + conf + "' -b -d hiver");
  EXPECT_NE(text.out.find("au c\xC5\x93ur de l'hiver"), std::string::npos) << text.out;
}

}  // namespace
}  // namespace exqrv
