// qrvtool for real work, run as real processes on real files: convert over a
// tree, its failures, -n and interruptions; the text options; text with
// several documents and standard input; info --json; --help and --version;
// the bash completion.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "builder/document_builder.h"
#include "support/program_cases.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

namespace fs = std::filesystem;
using build::DocumentRecipe;
using build::TextPage;

const std::string kBinary = EXQRV_BINARY_DIR;
const std::string kSource = EXQRV_SOURCE_DIR;

struct Command {
  std::vector<std::string> argv;
  std::string folder;                // working folder; empty: the test's
  std::vector<std::string> setting;  // NAME=VALUE added to the environment
  std::string input;                 // file on standard input; empty: /dev/null
};

struct Ran {
  bool exited = false;
  int status = -1;  // exit status, or the signal that ended it
  std::string out, err;
};

// Starts a program without a shell; its output goes into outPath and errPath.
pid_t Start(const Command& command, const std::string& outPath, const std::string& errPath) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (!command.folder.empty() && ::chdir(command.folder.c_str()) != 0) ::_exit(127);
  const std::string input = command.input.empty() ? "/dev/null" : command.input;
  const int in = ::open(input.c_str(), O_RDONLY);
  const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0) ::_exit(127);
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  for (const std::string& setting : command.setting) ::putenv(const_cast<char*>(setting.c_str()));
  std::vector<char*> argv;
  for (const std::string& word : command.argv) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

Ran Finish(pid_t pid, const std::string& outPath, const std::string& errPath) {
  int status = 0;
  Ran ran;
  if (::waitpid(pid, &status, 0) != pid) return ran;
  ran.exited = WIFEXITED(status);
  ran.status = ran.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  ran.out = build::ReadFileBytes(outPath);
  ran.err = build::ReadFileBytes(errPath);
  return ran;
}

class QrvtoolAtWork : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(tmp_); }

  Ran Run(Command command) {
    if (command.setting.empty()) command.setting.push_back("TMPDIR=" + tmp_);
    const std::string out = dir_ / "stdout", err = dir_ / "stderr";
    return Finish(Start(command, out, err), out, err);
  }
  Ran Qrvtool(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), kBinary + "/qrvtool");
    return Run({args, dir_.path(), {}, input});
  }
  void Write(const std::string& name, const std::string& bytes) {
    fs::create_directories(fs::path(dir_ / name).parent_path());
    ASSERT_TRUE(build::WriteFileBytes(dir_ / name, bytes)) << name;
  }
  // The files under a folder, by relative name, with their bytes.
  std::map<std::string, std::string> Files(const std::string& folder, const std::string& ending) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / folder)) {
      const std::string name = fs::relative(entry.path(), dir_ / folder).string();
      if (entry.is_regular_file() && name.ends_with(ending)) {
        files[name] = build::ReadFileBytes(entry.path());
      }
    }
    return files;
  }
  bool TempFolderEmpty() { return fs::is_empty(tmp_); }
  void WriteTree(const std::string& root);

  build::ScratchDir dir_;
  const std::string tmp_ = dir_ / "tmp";
};

std::string Pages(int count, size_t length, char first) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(length, static_cast<char>(first + i));
  return text;
}

// A tree with plain and compressed documents, notes, names in either case, an
// unknown page command and a file that is no document at all.
void QrvtoolAtWork::WriteTree(const std::string& root) {
  const std::vector<std::string> folders = {"", "sub/", "sub/deeper/", "other/"};
  int n = 0;
  for (const std::string& folder : folders) {
    for (int i = 0; i < 6; ++i, ++n) {
      build::DocumentRecipe recipe;
      for (int page = 0; page < 1 + n % 3; ++page) {
        recipe.pages.push_back(
            TextPage({"doc " + std::to_string(n) + " page " + std::to_string(page) + " ",
                      std::string(500 * (n % 4), static_cast<char>('a' + page))}));
      }
      recipe.notes = {{1, "[n" + std::to_string(n), "]"}, {2, "<", ">"}};
      recipe.compress = n % 2 == 0;
      recipe.compressNotes = n % 3 == 0;
      const std::string name = "D" + std::to_string(n) + (n % 5 == 0 ? ".qrv" : ".QRV");
      Write(root + folder + name, build::BuildDocument(recipe));
    }
  }
  Write(root + "sub/ODD.QRV", build::UnknownCommandDocument());
  Write(root + "readme.txt", "not a document");
}

TEST_F(QrvtoolAtWork, ConvertGivesExqrvsBytesOnAnyNumberOfWorkers) {
  WriteTree("tree/");
  WriteTree("reference/");
  WriteTree("beside/");
  for (const char* folder :
       {"reference", "reference/sub", "reference/sub/deeper", "reference/other"}) {
    const Ran exqrv = Run({{kBinary + "/exqrv", "*.QRV"}, dir_ / folder});
    ASSERT_EQ(exqrv.status, 0) << folder << exqrv.err;
  }
  const std::map<std::string, std::string> expected = Files("reference", ".TXT");
  ASSERT_EQ(expected.size(), 25u);

  for (const char* workers : {"1", "4"}) {
    const std::string out = std::string("out") + workers;
    const Ran convert = Qrvtool({"convert", "-j", workers, "-r", "-o", out, "tree"});
    EXPECT_EQ(convert.status, 0) << convert.err;
    EXPECT_EQ(Files(out, ""), expected) << "-j " << workers;
    EXPECT_NE(convert.err.find("sub/ODD.QRV: unexpect command! (3 times)"), std::string::npos)
        << convert.err;
    EXPECT_NE(convert.err.find("25 converted, 0 failed, 0 kept"), std::string::npos) << convert.err;
  }
  // Beside the documents, as exqrv writes them.
  const Ran beside = Qrvtool({"convert", "-j4", "-r", "--quiet", "beside"});
  EXPECT_EQ(beside.status, 0) << beside.err;
  EXPECT_EQ(beside.err, "");
  EXPECT_EQ(Files("beside", ".TXT"), expected);
  // Without -r only the folder's own documents.
  const Ran flat = Qrvtool({"convert", "-o", "flat", "tree"});
  EXPECT_EQ(flat.status, 0) << flat.err;
  EXPECT_EQ(Files("flat", "").size(), 6u);
  EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(QrvtoolAtWork, ConvertNamesEachFailureAndGoesOn) {
  Write("in/GOOD.QRV", build::BuildDocument({.pages = {TextPage({"good"})}}));
  Write("in/BAD.QRV", "not a document");
  Write("in/CUT.QRV",
        build::BuildDocument({.pages = {TextPage({"cut"})}, .compress = true}).substr(0, 60));
  Write("in/SAME.TXT", build::BuildDocument({.pages = {TextPage({"same"})}}));
  Write("in/TWICE.QRV", build::BuildDocument({.pages = {TextPage({"upper"})}}));
  Write("in/TWICE.qrv", build::BuildDocument({.pages = {TextPage({"lower"})}}));
  const Ran ran = Qrvtool({"convert", "-j", "2", "in", "in/SAME.TXT", "in/NOPE.QRV"});
  EXPECT_EQ(ran.status, 1);
  for (const char* line :
       {"qrvtool: in/BAD.QRV: not a Quillor document\n", "qrvtool: in/CUT.QRV: cannot be read",
        "qrvtool: in/NOPE.QRV: No such file or directory\n",
        "qrvtool: in/SAME.TXT: its text file would replace the document itself\n",
        "qrvtool: in/TWICE.qrv: its text file in/TWICE.TXT is already the text of in/TWICE.QRV\n",
        "qrvtool: 2 converted, 5 failed, 0 kept"}) {
    EXPECT_NE(ran.err.find(line), std::string::npos) << line << "\n" << ran.err;
  }
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/GOOD.TXT"), "good");
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/TWICE.TXT"), "upper");
  EXPECT_EQ(Files("in", ".TXT").size(), 3u);  // GOOD, TWICE and the document SAME.TXT
  EXPECT_TRUE(Files("in", ".part").empty());
}

// A document counted as failed leaves the text that was there as it was:
// a text without its notes would otherwise stand in for the whole one, and
// a later -n would keep it for good.
TEST_F(QrvtoolAtWork, AFailedDocumentNeverReplacesItsText) {
  const build::DocumentRecipe withNotes{.pages = {TextPage({"page "})}, .notes = {{1, "[n", "]"}}};
  Write("in/OLD.QRV", build::BuildDocument(withNotes));
  Write("in/OLD.TXT", "page [n]");
  Write("in/NEW.QRV", build::BuildDocument(withNotes));
  const Ran lost =
      Run({{kBinary + "/qrvtool", "convert", "in"}, dir_.path(), {"TMPDIR=" + dir_ / "none"}});
  EXPECT_EQ(lost.status, 1);
  EXPECT_NE(lost.err.find(
                "qrvtool: in/OLD.QRV: no temporary file could be made, so its notes are missing\n"),
            std::string::npos)
      << lost.err;
  EXPECT_NE(lost.err.find("0 converted, 2 failed, 0 kept"), std::string::npos) << lost.err;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/OLD.TXT"), "page [n]");
  EXPECT_FALSE(fs::exists(dir_ / "in/NEW.TXT"));
  EXPECT_TRUE(Files("in", ".part").empty());

  const Ran again = Qrvtool({"convert", "-n", "in"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find("1 converted, 0 failed, 1 kept"), std::string::npos) << again.err;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/NEW.TXT"), "page [n]");
}

// A folder for the texts that cannot be made fails every document meant for
// it, each named, and the summary counts them all.
TEST_F(QrvtoolAtWork, AnUnmadeFolderFailsEveryDocumentForIt) {
  for (const char* name : {"A", "B", "C"}) {
    Write(std::string("in/") + name + ".QRV", build::BuildDocument({.pages = {TextPage({name})}}));
  }
  Write("plain", "a file, not a folder");
  for (const char* out : {"plain", "plain/texts"}) {
    const Ran ran = Qrvtool({"convert", "-o", out, "in"});
    EXPECT_EQ(ran.status, 1) << out;
    for (const char* name : {"A", "B", "C"}) {
      EXPECT_NE(
          ran.err.find("qrvtool: in/" + std::string(name) + ".QRV: cannot create " + out + ": "),
          std::string::npos)
          << out << "\n"
          << ran.err;
    }
    EXPECT_NE(ran.err.find("0 converted, 3 failed, 0 kept"), std::string::npos) << out << "\n"
                                                                                << ran.err;
  }
}

// A replaced text keeps its permissions; a new one has those the umask
// leaves.
TEST_F(QrvtoolAtWork, AReplacedTextKeepsItsPermissions) {
  Write("in/KEPT.QRV", build::BuildDocument({.pages = {TextPage({"kept"})}}));
  Write("in/NEW.QRV", build::BuildDocument({.pages = {TextPage({"new"})}}));
  Write("in/KEPT.TXT", "old");
  fs::permissions(dir_ / "in/KEPT.TXT", fs::perms::owner_read | fs::perms::owner_write);
  const Ran ran = Qrvtool({"convert", "in"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/KEPT.TXT"), "kept");
  EXPECT_EQ(fs::status(dir_ / "in/KEPT.TXT").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  const mode_t umask = ::umask(0);
  ::umask(umask);
  EXPECT_EQ(fs::status(dir_ / "in/NEW.TXT").permissions(), static_cast<fs::perms>(0666 & ~umask));
}

// Names the system allows that the one-drive rules would read otherwise (a
// backslash, a leading drive letter) are taken as they are by every command.
// The test itself reads and writes them through the standard library.
TEST_F(QrvtoolAtWork, EveryCommandTakesNamesAsTheyAre) {
  const auto put = [this](const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  };
  const auto get = [this](const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  for (const std::string name : {"back\\slash", "C:drive", "D:\\other"}) {
    const std::string page = "page of " + name;
    put(name + ".txt", page);
    const Ran made = Qrvtool({"make", "--out", name + ".QRV", "--note", "1:[:]", name + ".txt"});
    EXPECT_EQ(made.status, 0) << name << ": " << made.err;
    const Ran text = Qrvtool({"text", name + ".QRV"});
    EXPECT_EQ(text.out, page + "[]") << name << ": " << text.err;
    const Ran info = Qrvtool({"info", name + ".QRV"});
    EXPECT_NE(info.out.find("pages: 1\n"), std::string::npos) << name << ": " << info.err;
    const Ran verify = Qrvtool({"verify", name + ".QRV"});
    EXPECT_EQ(verify.out, name + ".QRV: sound\n") << name;
    const Ran convert = Qrvtool({"convert", "-o", "out\\" + name, name + ".QRV"});
    EXPECT_EQ(convert.status, 0) << name << ": " << convert.err;
    EXPECT_EQ(get("out\\" + name + "/" + name + ".TXT"), page + "[]") << name;
    const Ran imploded = Qrvtool({"implode", name + ".txt", name + ".imp"});
    const Ran exploded = Qrvtool({"explode", name + ".imp", name + ".out"});
    EXPECT_EQ(imploded.status + exploded.status, 0) << name << ": " << imploded.err << exploded.err;
    EXPECT_EQ(get(name + ".out"), page) << name;
  }
}

// One rule for every command: a usage error says why, shows the usage and
// ends with status 2, before anything is written.
TEST_F(QrvtoolAtWork, UsageErrorsEndWithStatusTwo) {
  Write("A.QRV", build::BuildDocument({.pages = {TextPage({"a"})}}));
  Write("P.txt", "page");
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"convert"}, "at least one"},
      {{"convert", "-j", "0", "A.QRV"}, "-j wants"},
      {{"convert", "-j", "many", "A.QRV"}, "-j wants"},
      {{"convert", "--encoding", "NO-SUCH-PAGE", "A.QRV"},
       "'iconv --list' shows the supported ones"},
      {{"convert", "--bogus", "A.QRV"}, "unknown option --bogus"},
      {{"text", "--encoding", "NO-SUCH-PAGE", "A.QRV"}, "'iconv --list'"},
      {{"text", "--max-expansion", "0", "A.QRV"}, "--max-expansion wants"},
      {{"convert", "--max-expansion", "1X", "A.QRV"}, "--max-expansion wants"},
      {{"convert", "--max-expansion", "99999999999999999G", "A.QRV"}, "--max-expansion wants"},
      {{"text"}, "at least one document"},
      {{"info", "--json"}, "info wants a document"},
      {{"text", "--pages"}, "--pages wants FIRST, FIRST-LAST or FIRST-\n"},
      {{"text", "--pages", "-3", "A.QRV"}, "--pages wants FIRST, FIRST-LAST or FIRST-, got -3"},
      {{"text", "--json", "--page-break", "A.QRV"}, "--page-break has no place in JSON"},
      {{"convert", "--json-lines", "--page-break", "A.QRV"}, "--page-break has no place in JSON"},
      {{"convert", "A.QRV", "-o"}, "-o wants a folder"},
      {{"verify"}, "verify takes one document"},
      {{"verify", "A.QRV", "A.QRV"}, "verify takes one document"},
      {{"make"}, "make wants at least one PAGE.txt"},
      {{"make", "--bogus", "P.txt"}, "unknown option --bogus"},
      {{"make", "P.txt", "--out"}, "--out wants a document name"},
      {{"make", "--note", "1:a", "P.txt"}, "--note wants PAGE:TEXT1:TEXT2, got 1:a"},
      {{"make", "--note", "40000:a:b", "P.txt"}, "--note 40000:a:b: the document has pages 1 to 1"},
      {{"make", "--note", "2:a:b", "P.txt"}, "--note 2:a:b: the document has pages 1 to 1"},
      {{"make", "--note", "0:a:b", "P.txt"}, "--note 0:a:b: the document has pages 1 to 1"},
      {{"explode", "A.QRV"}, "explode takes IN and OUT"},
      {{"implode", "--dict", "512", "P.txt", "P.imp"}, "--dict wants 1024, 2048 or 4096"},
      {{"implode", "--fast", "P.txt", "P.imp"}, "unknown option --fast"},
      {{"implode", "P.txt"}, "implode takes IN and OUT"},
  };
  for (const auto& c : cases) {
    const Ran ran = Qrvtool(c.args);
    EXPECT_EQ(ran.status, 2) << c.says;
    EXPECT_NE(ran.err.find(c.says), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("usage: qrvtool " + c.args[0]), std::string::npos) << ran.err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "A.TXT"));
  EXPECT_FALSE(fs::exists(dir_ / "P.QRV"));
  EXPECT_FALSE(fs::exists(dir_ / "P.imp"));
}

TEST_F(QrvtoolAtWork, NoReplaceKeepsExistingTextFiles) {
  Write("in/A.QRV", build::BuildDocument({.pages = {TextPage({"new a"})}}));
  Write("in/B.QRV", build::BuildDocument({.pages = {TextPage({"new b"})}, .compress = true}));
  Write("in/A.TXT", "old a");
  const Ran kept = Qrvtool({"convert", "-n", "in"});
  EXPECT_EQ(kept.status, 0) << kept.err;
  EXPECT_NE(kept.err.find("1 converted, 0 failed, 1 kept"), std::string::npos) << kept.err;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/A.TXT"), "old a");
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/B.TXT"), "new b");

  // --progress draws the bar where no terminal is, and clears it again.
  const Ran replaced = Qrvtool({"convert", "--progress", "in"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "in/A.TXT"), "new a");
  EXPECT_NE(replaced.err.find("/2 documents"), std::string::npos) << replaced.err;
  EXPECT_NE(replaced.err.find(" MB/s "), std::string::npos) << replaced.err;
  EXPECT_NE(replaced.err.find("\r\033[K"), std::string::npos) << replaced.err;
}

// The bar is drawn over itself, which only works while it fits on one line
// of the terminal; the summary gives sizes in units.
// The widest frame of the progress bar in what convert wrote on stderr.
size_t WidestFrame(const std::string& shown) {
  size_t widest = 0;
  std::istringstream frames(shown);
  for (std::string frame; std::getline(frames, frame, '\r');) {
    frame = frame.substr(0, frame.find('\n'));
    if (frame.find("qrvtool: ") != std::string::npos) continue;  // the summary
    for (size_t at; (at = frame.find("\033[K")) != std::string::npos;) frame.erase(at, 3);
    widest = std::max(widest, frame.size());
  }
  return widest;
}

TEST_F(QrvtoolAtWork, ProgressFitsTheTerminalAndTheSummaryIsInUnits) {
  Write("in/BIG.QRV", build::BuildDocument({.pages = {TextPage({Pages(1, 3000, 'a')})}}));
  Write("in/SMALL.QRV", build::BuildDocument({.pages = {TextPage({"s"})}}));
  for (const size_t columns : {20, 40, 200}) {
    const Ran ran = Run({{kBinary + "/qrvtool", "convert", "--progress", "in"},
                         dir_.path(),
                         {"TMPDIR=" + tmp_, "COLUMNS=" + std::to_string(columns)}});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.err.find("; 3.0 kB written in "), std::string::npos) << ran.err;
    EXPECT_LT(WidestFrame(ran.err), columns) << ran.err;
    // Where there is room, the bar; else what it counts, cut to fit.
    EXPECT_NE(ran.err.find("/2 documents  "), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("\r["), columns > 40 ? 0 : std::string::npos) << ran.err;
  }
}

// On a terminal the bar shows by itself, as wide as the terminal allows.
TEST_F(QrvtoolAtWork, ProgressFitsATerminalOfItsOwnWidth) {
  Write("in/A.QRV", build::BuildDocument({.pages = {TextPage({"a"})}}));
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 30;
  int terminal = -1;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::unsetenv("COLUMNS");
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    if (::chdir(dir_.path().c_str()) == 0) {
      ::execl((kBinary + "/qrvtool").c_str(), "qrvtool", "convert", "in", nullptr);
    }
    ::_exit(127);
  }
  std::string shown;
  char buffer[4096];
  // The terminal reports an error once the program has ended.
  for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(terminal);
  EXPECT_EQ(status, 0) << shown;
  EXPECT_NE(shown.find("/1 documents"), std::string::npos) << shown;
  EXPECT_LT(WidestFrame(shown), 30u) << shown;
}

// A convert stopped while HELD.QRV is half written (the test hook stops the
// process after a page 2, which only HELD.QRV has), then signalled: the texts
// already finished stay, nothing partial does, and the private temporary
// folder with the working copy goes too.
TEST_F(QrvtoolAtWork, InterruptedConvertLeavesNoPartialFile) {
  const std::string held = build::BuildDocument(
      {.pages = {TextPage({Pages(1, 5000, 'a')}), TextPage({"second"}), TextPage({"third"})},
       .notes = {{1, "[n", "]"}},
       .compress = true,
       .compressNotes = true});
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string folder = "in" + std::to_string(signal);
    Write(folder + "/A.QRV", build::BuildDocument({.pages = {TextPage({"alpha"})}}));
    Write(folder + "/B.QRV",
          build::BuildDocument({.pages = {TextPage({"beta"})}, .compress = true}));
    Write(folder + "/HELD.QRV", held);
    const std::string out = dir_ / "stdout", err = dir_ / "stderr";
    const pid_t pid = Start({{kBinary + "/qrvtool-stopping", "2", "-j", "1", "--quiet", folder},
                             dir_.path(),
                             {"TMPDIR=" + tmp_},
                             {}},
                            out, err);
    int waited = 0;
    ASSERT_EQ(::waitpid(pid, &waited, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(waited)) << build::ReadFileBytes(err);
    const std::map<std::string, std::string> parts = Files(folder, ".part");
    ASSERT_EQ(parts.size(), 1u) << "the partial text under its temporary name";
    EXPECT_EQ(parts.begin()->second, Pages(1, 5000, 'a') + "[n]second");
    EXPECT_FALSE(TempFolderEmpty()) << "the working copy";

    ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    const Ran ran = Finish(pid, out, err);
    EXPECT_TRUE(ran.exited) << signal;
    EXPECT_EQ(ran.status, 128 + signal);
    EXPECT_EQ(build::ReadFileBytes(dir_ / (folder + "/A.TXT")), "alpha");
    EXPECT_EQ(build::ReadFileBytes(dir_ / (folder + "/B.TXT")), "beta");
    EXPECT_FALSE(fs::exists(dir_ / (folder + "/HELD.TXT")));
    EXPECT_TRUE(Files(folder, ".part").empty());
    EXPECT_TRUE(TempFolderEmpty());
  }
}

// The same options give the same bytes through text and through convert.
TEST_F(QrvtoolAtWork, TextOptions) {
  const struct {
    const char* what;
    std::vector<std::string> pages;
    std::vector<std::string> options;
    std::string text;
    bool noteOnPage1 = false;
  } cases[] = {
      {"defaults are exqrv's bytes", {"caf\xE9\r\n", "\x81"}, {}, "caf\xE9\r\n\x81"},
      {"CP1252", {"caf\xE9 \x80"}, {"--encoding", "CP1252"}, "caf\xC3\xA9 \xE2\x82\xAC"},
      {"a byte CP1252 leaves undefined", {"a\x81z"}, {"--encoding", "CP1252"}, "a\xEF\xBF\xBDz"},
      {"CP1251", {"\xC0\xE1"}, {"--encoding", "CP1251"}, "\xD0\x90\xD0\xB1"},
      {"CP1250", {"\x8A"}, {"--encoding", "cp1250"}, "\xC5\xA0"},
      {"CR LF to LF, across pages too", {"a\r\nb\rc\r", "\nd"}, {"--lf"}, "a\nb\rc\nd"},
      {"a form feed after each page and its notes",
       {"one", "two"},
       {"--page-break"},
       "one[n]\ftwo\f",
       true},
      {"a page break splits CR LF", {"x\r", "\ny"}, {"--lf", "--page-break"}, "x\r\f\ny\f"},
      {"all three",
       {"\xE9\r\n", "\xE8"},
       {"--encoding", "CP1252", "--lf", "--page-break"},
       "\xC3\xA9\n[n]\f\xC3\xA8\f",
       true},
  };
  int n = 0;
  for (const auto& c : cases) {
    build::DocumentRecipe recipe{.compress = n % 2 == 1};
    for (const std::string& page : c.pages) recipe.pages.push_back(TextPage({page}));
    if (c.noteOnPage1) recipe.notes = {{1, "[n", "]"}};
    const std::string name = "T" + std::to_string(n++) + ".QRV";
    Write(name, build::BuildDocument(recipe));

    std::vector<std::string> text = {"text"};
    text.insert(text.end(), c.options.begin(), c.options.end());
    text.push_back(name);
    const Ran shown = Qrvtool(text);
    EXPECT_EQ(shown.status, 0) << c.what << shown.err;
    EXPECT_EQ(shown.out, c.text) << c.what;

    std::vector<std::string> convert = {"convert", "-o", "out"};
    convert.insert(convert.end(), c.options.begin(), c.options.end());
    convert.push_back(name);
    const Ran converted = Qrvtool(convert);
    EXPECT_EQ(converted.status, 0) << c.what << converted.err;
    EXPECT_EQ(build::ReadFileBytes(dir_ / ("out/" + name.substr(0, name.size() - 3) + "TXT")),
              c.text)
        << c.what;
  }
  EXPECT_TRUE(TempFolderEmpty());
}

// The pages' texts and their notes' texts, joined in order.
std::string Joined(const nlohmann::json& pages) {
  std::string text;
  for (const auto& page : pages) {
    text += page["text"].get<std::string>();
    for (const auto& note : page["notes"]) {
      text += note["text1"].get<std::string>() + note["text2"].get<std::string>();
    }
  }
  return text;
}

// Every JSON value of a stream of them, in order.
std::vector<nlohmann::json> JsonValues(const std::string& text) {
  std::vector<nlohmann::json> values;
  std::istringstream stream(text);
  while ((stream >> std::ws).peek() != EOF) {
    nlohmann::json value;
    stream >> value;
    values.push_back(value);
  }
  return values;
}

// JSON for pipelines: joining each page's text and notes gives the plain
// text in UTF-8, page for page, whichever form and whichever command; a
// document that does not convert says so, and why.
TEST_F(QrvtoolAtWork, TextAsJsonJoinsToThePlainText) {
  Write("A.QRV", build::BuildDocument({.pages = {TextPage({"caf\xE9\r\n"}), TextPage({"two\r"}),
                                                 TextPage({"\n\x93three\x94"})},
                                       .notes = {{1, "[n\xE9", "]"}, {3, "<", ">"}, {3, "x", ""}},
                                       .compress = true}));
  Write("B.QRV", "not a document");
  const std::string plain = Qrvtool({"text", "--encoding", "CP1252", "A.QRV"}).out;
  ASSERT_EQ(plain, "caf\xC3\xA9\r\n[n\xC3\xA9]two\r\n\xE2\x80\x9Cthree\xE2\x80\x9D<>x");

  const Ran whole = Qrvtool({"text", "--json", "A.QRV", "B.QRV"});
  EXPECT_EQ(whole.status, 1);
  const std::vector<nlohmann::json> documents = JsonValues(whole.out);
  ASSERT_EQ(documents.size(), 2u) << whole.out;
  EXPECT_EQ(documents[0]["document"], "A.QRV");
  EXPECT_EQ(documents[0]["encoding"], "CP1252");  // said when none is given
  EXPECT_TRUE(documents[0]["converted"]);
  EXPECT_EQ(documents[0]["pages"][2]["page"], 3);
  EXPECT_EQ(Joined(documents[0]["pages"]), plain);
  EXPECT_FALSE(documents[1]["converted"]);
  EXPECT_EQ(documents[1]["reason"], "not a Quillor document");
  EXPECT_EQ(documents[1]["pages"].size(), 0u);

  const Ran lines = Qrvtool({"text", "--json-lines", "A.QRV"});
  EXPECT_EQ(lines.status, 0) << lines.err;
  const std::vector<nlohmann::json> records = JsonValues(lines.out);
  ASSERT_EQ(records.size(), 4u) << lines.out;
  EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), 4) << lines.out;
  EXPECT_EQ(Joined(std::vector<nlohmann::json>(records.begin(), records.end() - 1)), plain);
  EXPECT_EQ(records[3]["pages"], 3);
  EXPECT_TRUE(records[3]["converted"]);

  // convert writes the same into files of their own, and no text file.
  for (const std::string form : {"--json", "--json-lines"}) {
    const Ran converted = Qrvtool({"convert", form, "-o", "out", "A.QRV"});
    EXPECT_EQ(converted.status, 0) << converted.err;
  }
  const nlohmann::json file = nlohmann::json::parse(build::ReadFileBytes(dir_ / "out/A.json"));
  EXPECT_EQ(Joined(file["pages"]), plain);
  EXPECT_EQ(build::ReadFileBytes(dir_ / "out/A.jsonl"), lines.out);
  EXPECT_FALSE(fs::exists(dir_ / "out/A.TXT"));
  EXPECT_TRUE(TempFolderEmpty());
}

// --pages: a range, one page, or from a page to the end.
TEST_F(QrvtoolAtWork, TextTakesPageRanges) {
  Write("A.QRV", build::BuildDocument({.pages = {TextPage({"1"}), TextPage({"2"}), TextPage({"3"}),
                                                 TextPage({"4"})}}));
  const struct {
    const char* pages;
    const char* text;
  } cases[] = {{"2-3", "23"}, {"3", "3"}, {"3-", "34"}, {"1-", "1234"}, {"4-4", "4"}, {"5-", ""}};
  for (const auto& c : cases) {
    const Ran ran = Qrvtool({"text", "--pages", c.pages, "A.QRV"});
    EXPECT_EQ(ran.status, 0) << c.pages << ran.err;
    EXPECT_EQ(ran.out, c.text) << c.pages;
  }
}

TEST_F(QrvtoolAtWork, TextTakesSeveralDocumentsAndStandardInput) {
  Write("A.QRV", build::BuildDocument({.pages = {TextPage({"alpha "})}}));
  Write("B.QRV", build::BuildDocument({.pages = {TextPage({"beta "})},
                                       .notes = {{1, "[b", "]"}},
                                       .compress = true,
                                       .compressNotes = true}));
  Write("C.QRV", build::BuildDocument({.pages = {TextPage({"gamma"})}}));
  Write("JUNK", "no document");

  const Ran piped = Qrvtool({"text", "A.QRV", "-", "C.QRV"}, dir_ / "B.QRV");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, "alpha beta [b]gamma");

  const Ran options = Qrvtool({"text", "--page-break", "-"}, dir_ / "B.QRV");
  EXPECT_EQ(options.out, "beta [b]\f");

  const Ran failing = Qrvtool({"text", "A.QRV", "NOPE.QRV", "-", "C.QRV"}, dir_ / "JUNK");
  EXPECT_EQ(failing.status, 1);
  EXPECT_EQ(failing.out, "alpha gamma");
  EXPECT_NE(failing.err.find("qrvtool: NOPE.QRV: No such file or directory\n"), std::string::npos)
      << failing.err;
  EXPECT_NE(failing.err.find("qrvtool: standard input: not a Quillor document\n"),
            std::string::npos)
      << failing.err;
  EXPECT_TRUE(TempFolderEmpty());
}

// Page 2 spoiled two ways: its block does not expand, or it expands to text
// that fails its CRC-32. text keeps its bytes and names the page; convert
// counts the document as failed and puts its text only where none is.
TEST_F(QrvtoolAtWork, DamagedPagesAreNamedAndFailTheDocument) {
  const DocumentRecipe recipe{
      .pages = {TextPage({"one "}), TextPage({"two, long enough to hold a match: two two two "}),
                TextPage({"three"})},
      .compress = true};
  const std::string intact = build::BuildDocument(recipe);
  const uint32_t at = build::PageContentOffset(recipe, 2);
  std::string noMagic = intact;
  noMagic[at] = 'X';
  std::string changed = intact;
  changed[at + 20] = static_cast<char>(changed[at + 20] ^ 1);  // the CRC field
  Write("in/NOMAGIC.QRV", noMagic);
  Write("in/CHANGED.QRV", changed);
  Write("kept/NOMAGIC.TXT", "old");

  const Ran text = Qrvtool({"text", "in/NOMAGIC.QRV", "in/CHANGED.QRV"});
  EXPECT_EQ(text.status, 1);
  EXPECT_EQ(text.out,
            "one three" + std::string("one two, long enough to hold a match: two two two three"));
  for (const char* line :
       {"qrvtool: in/NOMAGIC.QRV: page 2 does not expand (result 8): its text is missing\n",
        "qrvtool: in/CHANGED.QRV: page 2 does not match its CRC-32: its text is not what was "
        "stored\n"}) {
    EXPECT_NE(text.err.find(line), std::string::npos) << line << text.err;
  }

  for (const char* folder : {"fresh", "kept"}) {
    const Ran convert = Qrvtool({"convert", "-o", folder, "in/NOMAGIC.QRV", "in/CHANGED.QRV"});
    EXPECT_EQ(convert.status, 1) << folder;
    EXPECT_NE(convert.err.find("qrvtool: in/NOMAGIC.QRV: page 2 does not expand (result 8)"),
              std::string::npos)
        << convert.err;
    EXPECT_NE(convert.err.find("0 converted, 2 failed"), std::string::npos) << convert.err;
    EXPECT_TRUE(Files(folder, ".part").empty());
  }
  EXPECT_EQ(build::ReadFileBytes(dir_ / "fresh/NOMAGIC.TXT"), "one three");
  EXPECT_EQ(build::ReadFileBytes(dir_ / "kept/NOMAGIC.TXT"), "old");
  EXPECT_TRUE(TempFolderEmpty());
}

// Pages on one block expand far past the document's size. Past the limit a
// document fails with that reason, leaves no text file and no temporary
// file, and the next document follows.
TEST_F(QrvtoolAtWork, MaxExpansionStopsADocumentThatExpandsTheSameBytesAgain) {
  Write("in/MANY.QRV", build::BuildDocument({.pages = {TextPage({std::string(5000, 'm')})},
                                             .compress = true,
                                             .pagesOnFirstContent = 99}));
  Write("in/FINE.QRV", build::BuildDocument({.pages = {TextPage({"fine"})}, .compress = true}));
  const std::string reason = "qrvtool: in/MANY.QRV: expands beyond its limit of 102400 bytes";

  const Ran convert = Qrvtool({"convert", "--max-expansion", "100K", "-o", "out", "in"});
  EXPECT_EQ(convert.status, 1);
  EXPECT_NE(convert.err.find(reason), std::string::npos) << convert.err;
  EXPECT_EQ(Files("out", ""), (std::map<std::string, std::string>{{"FINE.TXT", "fine"}}));

  const Ran text = Qrvtool({"text", "--max-expansion", "100K", "in/MANY.QRV", "in/FINE.QRV"});
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.err.find(reason), std::string::npos) << text.err;
  EXPECT_TRUE(text.out.ends_with("fine")) << text.out.size();
  EXPECT_LE(text.out.size(), 102400u + 4);

  const Ran raised = Qrvtool({"text", "--max-expansion", "1M", "in/MANY.QRV"});
  EXPECT_EQ(raised.status, 0) << raised.err;
  EXPECT_EQ(raised.out, std::string(100 * 5000, 'm'));
  EXPECT_TRUE(TempFolderEmpty());
}

// A page of unknown commands says so once per document, with the count, as
// convert does, while the text stays exqrv's.
TEST_F(QrvtoolAtWork, TextCountsUnknownCommandsPerDocument) {
  Write("ODD.QRV", build::UnknownCommandDocument());
  const Ran ran = Qrvtool({"text", "ODD.QRV", "-"}, dir_ / "ODD.QRV");
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "ABAB");
  EXPECT_EQ(ran.err,
            "qrvtool: ODD.QRV: unexpect command! (3 times)\n"
            "qrvtool: standard input: unexpect command! (3 times)\n");
}

// A note can hold anything; info lists it so that the terminal shows what
// it holds instead of obeying it (a title, a cleared screen), while text
// gives the bytes as they are.
TEST_F(QrvtoolAtWork, InfoShowsControlCharactersAsEscapes) {
  const std::string hostile = "\x1b]0;title\x07\x1b[2J\r\t\\ caf\xC3\xA9 \xC2\x9B \x9B\x7F";
  Write("N.QRV", build::BuildDocument({.pages = {TextPage({"p "})}, .notes = {{1, hostile, "!"}}}));
  const Ran info = Qrvtool({"info", "N.QRV"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("  note on page 1: \"\\x1b]0;title\\x07\\x1b[2J\\r\\t\\\\ caf\xC3\xA9 "
                          "\\xc2\\x9b \\x9b\\x7f\" \"!\"\n"),
            std::string::npos)
      << info.out;
  for (const char c : info.out)
    EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
  EXPECT_EQ(Qrvtool({"text", "N.QRV"}).out, "p " + hostile + "!");
}

TEST_F(QrvtoolAtWork, InfoAsJsonParses) {
  Write("N.QRV", build::BuildDocument({.pages = {TextPage({"one"}), TextPage({"two"})},
                                       .notes = {{2, "caf\xE9", "\"quoted\"\n"}},
                                       .compress = true,
                                       .compressNotes = true}));
  const Ran recoded = Qrvtool({"info", "--json", "--encoding", "CP1252", "N.QRV"});
  ASSERT_EQ(recoded.status, 0) << recoded.err;
  const nlohmann::json info = nlohmann::json::parse(recoded.out);
  EXPECT_EQ(info["document"], "N.QRV");
  EXPECT_TRUE(info["compressedPages"]);
  EXPECT_EQ(info["pages"].size(), 2u);
  EXPECT_GT(info["pages"][1]["contentOffset"].get<uint32_t>(), 0u);
  bool hasPages = false;
  for (const auto& chunk : info["chunks"]) hasPages = hasPages || chunk["tag"] == "pape";
  EXPECT_TRUE(hasPages) << recoded.out;
  EXPECT_EQ(info["annotations"]["NOTE"], 1);
  ASSERT_EQ(info["notes"].size(), 1u);
  EXPECT_EQ(info["notes"][0]["page"], 2);
  EXPECT_EQ(info["notes"][0]["text1"], "caf\xC3\xA9");
  EXPECT_EQ(info["notes"][0]["text2"], "\"quoted\"\n");
  EXPECT_EQ(info["thumbnails"], 0);

  // The listing decodes the notes the same way.
  const Ran listed = Qrvtool({"info", "--encoding", "CP1252", "N.QRV"});
  EXPECT_NE(listed.out.find("  note on page 2: \"caf\xC3\xA9\" \"\"quoted\"\\n\"\n"),
            std::string::npos)
      << listed.out;

  // Without a code page the bytes that are not UTF-8 still make valid JSON.
  const Ran raw = Qrvtool({"info", "--json", "N.QRV"});
  ASSERT_EQ(raw.status, 0);
  EXPECT_EQ(nlohmann::json::parse(raw.out)["notes"][0]["text1"], "caf\xEF\xBF\xBD");

  const Ran missing = Qrvtool({"info", "--json", "NONE.QRV"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
}

// --help and --version on standard output with status 0; for exqrv only as
// the whole command line.
TEST_F(QrvtoolAtWork, HelpAndVersion) {
  const std::string exqrv = kBinary + "/exqrv", qrvtool = kBinary + "/qrvtool";
  const struct {
    std::vector<std::string> argv;
    int status;
    const char* out;  // in standard output; nullptr: it stays empty
  } cases[] = {
      {{exqrv, "--help"}, 0, "usage: exqrv QRVFileName [/TXTDirectory]"},
      {{exqrv, "--version"}, 0, "exqrv (ExQRV) 1."},
      {{exqrv, "--version", "x"}, 2, nullptr},  // the usage message
      {{exqrv, "--help", "/"}, 1, nullptr},     // a pattern that matches nothing
      {{qrvtool, "--help"}, 0, "qrvtool convert [-j N]"},
      {{qrvtool, "--version"}, 0, "qrvtool (ExQRV) 1."},
      {{qrvtool, "convert", "--help"}, 0, "usage: qrvtool convert"},
      {{qrvtool}, 2, nullptr},
      {{qrvtool, "frobnicate"}, 2, nullptr},
  };
  for (const auto& c : cases) {
    const Ran ran = Run({c.argv, dir_.path()});
    EXPECT_EQ(ran.status, c.status) << c.argv.back() << ran.err;
    if (c.out == nullptr) {
      EXPECT_EQ(ran.out, "") << c.argv.back();
    } else {
      EXPECT_NE(ran.out.find(c.out), std::string::npos) << ran.out;
      EXPECT_EQ(ran.err, "");
    }
  }
}

// Runs the bash completion over words; what it offers for the last one.
const std::string kCompletionScript =
    "source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _qrvtool; "
    "printf '%s\\n' \"${COMPREPLY[@]}\" | sort";

// Each command's --help describes every option its usage shows, and the
// bash completion offers each of them (and --help).
TEST_F(QrvtoolAtWork, HelpAndCompletionNameEveryOption) {
  for (const std::string command :
       {"info", "text", "convert", "verify", "make", "explode", "implode", "recoll-setup"}) {
    const Ran help = Qrvtool({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    const std::string usage = help.out.substr(0, help.out.find("\noptions:"));
    std::set<std::string> shown, described, spelt;
    // "[--pages", "[--progress|--quiet]": one option, or a choice of them.
    std::istringstream pieces(usage);
    for (std::string piece; pieces >> piece;) {
      if (!piece.starts_with("[-")) continue;
      std::istringstream choices(piece.substr(1, piece.find(']') - 1));
      for (std::string choice; std::getline(choices, choice, '|');) shown.insert(choice);
    }
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
      if (!line.starts_with("  -")) continue;
      std::istringstream words(line);
      for (std::string word; words >> word && word[0] == '-';) {
        if (word.ends_with(',')) word.pop_back();
        spelt.insert(word);
        if (line.find(word) == 2) described.insert(word);
      }
    }
    EXPECT_EQ(described, shown) << help.out;
    const Ran completed = Run({{"/bin/bash", "-c", kCompletionScript, "bash",
                                kSource + "/data/qrvtool.bash", "qrvtool", command, "-"},
                               dir_.path()});
    std::set<std::string> offered;
    std::istringstream words(completed.out);
    for (std::string word; words >> word;) offered.insert(word);
    offered.erase("--help");
    offered.erase("-");  // text's standard input
    EXPECT_EQ(offered, spelt) << command;
  }
}

TEST_F(QrvtoolAtWork, BashCompletionOffersCommandsOptionsAndDocuments) {
  Write("c/A.QRV", "");
  Write("c/b.qrv", "");
  Write("c/notes.txt", "");
  fs::create_directories(dir_ / "c/sub");
  const struct {
    std::vector<std::string> words;
    std::string offered;
  } cases[] = {
      {{"qrvtool", "con"}, "convert\n"},
      {{"qrvtool", "recoll-setup", ""}, "sub\n"},
      {{"qrvtool", "convert", "--p"}, "--page-break\n--progress\n"},
      {{"qrvtool", "text", "--encoding", "cp125"},
       "CP1250\nCP1251\nCP1252\nCP1253\nCP1254\nCP1255\n"
       "CP1256\nCP1257\nCP1258\n"},
      {{"qrvtool", "text", ""}, "A.QRV\nb.qrv\nsub\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"/bin/bash", "-c", kCompletionScript, "bash",
                                     kSource + "/data/qrvtool.bash"};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    const Ran ran = Run({argv, dir_ / "c"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, c.offered) << c.words.back();
  }
}

}  // namespace
}  // namespace exqrv
