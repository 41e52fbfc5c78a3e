// The programs under the conditions people meet on their first day, run as
// real processes on real files: output redirected, appended or piped and
// closed early, signals in the middle of a conversion, a full or missing
// temporary folder, a machine short of memory, a display that is gone, a
// question asked while standard error goes to a file, and a tool told to
// write over its own input.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::DocumentRecipe;
using build::TextPage;

const std::string kBinary = EXQRV_BINARY_DIR;

// One child process: its arguments, the variables set or removed ("-NAME")
// in its environment, its folder, and the descriptors it inherits. It runs
// in a session of its own, so that it has no controlling terminal.
struct Launch {
  std::vector<std::string> argv;
  std::vector<std::string> environment;
  std::string folder;
  int input = -1;   // standard input; /dev/null when -1
  int output = -1;  // standard output; a file read back as out when -1
  bool stopAtPage = false;
  rlim_t fileSizeLimit = RLIM_INFINITY;  // ulimit -f, in bytes
  rlim_t addressSpace = RLIM_INFINITY;   // ulimit -v, in bytes: the most memory it may map
};

struct Ended {
  int status = -1;  // exit status, or -1 when killed
  std::string out, errors;
};

std::string ReadAll(const std::string& path) { return build::ReadFileBytes(path); }

pid_t Start(const Launch& launch, const std::string& outPath, const std::string& errPath) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::setsid();
  const rlimit fileSize{launch.fileSizeLimit, launch.fileSizeLimit};
  ::setrlimit(RLIMIT_FSIZE, &fileSize);
  if (!launch.folder.empty() && ::chdir(launch.folder.c_str()) != 0) ::_exit(126);
  const int in = launch.input >= 0 ? launch.input : ::open("/dev/null", O_RDONLY);
  const int out = launch.output >= 0 ? launch.output
                                     : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  for (const std::string& variable : launch.environment) {
    if (variable[0] == '-') {
      ::unsetenv(variable.c_str() + 1);
    } else {
      const size_t equals = variable.find('=');
      ::setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
    }
  }
  // Last: under it the child's own allocations could fail.
  const rlimit addressSpace{launch.addressSpace, launch.addressSpace};
  if (::setrlimit(RLIMIT_AS, &addressSpace) != 0) ::_exit(126);
  std::vector<char*> argv;
  for (const std::string& arg : launch.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

int StatusOf(int waitStatus) { return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

class Conditions : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(temp_);
    std::filesystem::create_directories(work_);
  }

  Ended Run(Launch launch) {
    const pid_t pid = Start(WithTemp(launch), dir_ / "out", dir_ / "err");
    int waitStatus = 0;
    ::waitpid(pid, &waitStatus, 0);
    return {StatusOf(waitStatus), ReadAll(dir_ / "out"), ReadAll(dir_ / "err")};
  }

  // The test's own temporary folder for the child, unless the launch names one.
  Launch WithTemp(Launch launch) const {
    bool named = false;
    for (const std::string& variable : launch.environment)
      named |= variable.rfind("TMPDIR=", 0) == 0;
    if (!named) launch.environment.push_back("TMPDIR=" + temp_);
    if (launch.folder.empty()) launch.folder = work_;
    return launch;
  }

  void Write(const std::string& name, const DocumentRecipe& recipe) {
    ASSERT_TRUE(build::WriteFileBytes(work_ + "/" + name, build::BuildDocument(recipe)));
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(work_ + "/" + name); }
  // Files whose name ends so, in the work folder and the ones under it.
  size_t CountFiles(const std::string& ending) const {
    size_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(work_)) {
      count += entry.path().string().ends_with(ending);
    }
    return count;
  }
  bool TempIsEmpty() const { return std::filesystem::is_empty(temp_); }

  build::ScratchDir dir_;
  const std::string temp_ = dir_ / "tmp";
  const std::string work_ = dir_ / "work space";  // a space, as people's folders have
  const std::string exqrv_ = kBinary + "/exqrv";
  const std::string qrvtool_ = kBinary + "/qrvtool";
  // exqrv, stopping itself once the page after its first argument is on disk.
  const std::string stopping_ = kBinary + "/exqrv-stopping";
};

const DocumentRecipe kThreePages{
    .pages = {TextPage({"one "}), TextPage({"two "}), TextPage({"three"})},
    .notes = {{2, "[a", "b]"}},
    .compress = true,
    .compressNotes = true};
const std::string kThreePagesText = "one two [ab]three";

// Several runs share one open description of the output, as a shell's
// redirection does; each writes at the shared offset, after what came before.
TEST_F(Conditions, OutputGoesWhereTheSharedOffsetIs) {
  Write("A.QRV", kThreePages);
  const std::string path = dir_ / "shared.txt";
  struct Case {
    const char* what;
    int flags;
    std::string before;  // already in the file
  };
  for (const Case& c : {Case{"truncated", O_TRUNC, ""}, Case{"appended", O_APPEND, "old\n"}}) {
    ASSERT_TRUE(build::WriteFileBytes(path, c.before));
    const int fd = ::open(path.c_str(), O_WRONLY | c.flags);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "head\n", 5), 5);
    Run({.argv = {qrvtool_, "text", "A.QRV"}, .output = fd});
    Run({.argv = {qrvtool_, "text", "--pages", "2-2", "A.QRV"}, .output = fd});
    ASSERT_EQ(::write(fd, "tail\n", 5), 5);
    ::close(fd);
    EXPECT_EQ(ReadAll(path), c.before + "head\n" + kThreePagesText + "two [ab]tail\n") << c.what;
  }
  // And a pipe, read to its end.
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const pid_t pid = Start(WithTemp({.argv = {qrvtool_, "text", "A.QRV"}, .output = ends[1]}),
                          dir_ / "out", dir_ / "err");
  ::close(ends[1]);
  std::string piped;
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(ends[0], buffer, sizeof buffer)) > 0) piped.append(buffer, got);
  ::close(ends[0]);
  int waitStatus = 0;
  ::waitpid(pid, &waitStatus, 0);
  EXPECT_EQ(StatusOf(waitStatus), 0);
  EXPECT_EQ(piped, kThreePagesText);
}

// A reader that goes away early (`| head -c 10`) ends the program quietly,
// and nothing of it stays in the temporary folder.
TEST_F(Conditions, AReaderThatLeavesEarlyEndsItQuietly) {
  std::vector<std::string> pages;
  for (int i = 0; i < 40; ++i) pages.push_back(TextPage({std::string(30000, 'a' + i % 26)}));
  Write("BIG.QRV", {.pages = pages, .compress = true});
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const pid_t pid = Start(WithTemp({.argv = {qrvtool_, "text", "BIG.QRV"}, .output = ends[1]}),
                          dir_ / "out", dir_ / "err");
  ::close(ends[1]);
  char first[10];
  ASSERT_EQ(::read(ends[0], first, sizeof first), 10);
  ::close(ends[0]);
  int waitStatus = 0;
  ::waitpid(pid, &waitStatus, 0);
  EXPECT_EQ(StatusOf(waitStatus), 128 + SIGPIPE);
  EXPECT_EQ(ReadAll(dir_ / "err"), "");
  EXPECT_TRUE(TempIsEmpty());
}

// The names of the folder's entries in the order the directory gives them,
// which is the order a batch converts them in.
std::vector<std::string> DirectoryOrder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  while (const dirent* entry = ::readdir(dir)) names.push_back(entry->d_name);
  ::closedir(dir);
  return names;
}

// The hidden files texts are written under before they get their names.
std::vector<std::string> PartFiles(const std::string& folder) {
  std::vector<std::string> parts;
  for (const std::string& name : DirectoryOrder(folder)) {
    if (name.ends_with(".part")) parts.push_back(name);
  }
  return parts;
}

// Stopped at a known page of the second document, then signalled: the text
// being written and the temporary folder go, texts already finished stay,
// and the status tells which signal it was.
TEST_F(Conditions, ASignalRemovesTheUnfinishedTextAndTheTemporaryFolder) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    std::filesystem::remove_all(work_);
    std::filesystem::create_directories(work_);
    Write("ONE.QRV", {.pages = {TextPage({"single"})}, .compress = true});
    Write("TWO.QRV", kThreePages);
    const pid_t pid =
        Start(WithTemp({.argv = {stopping_, "2", "*.QRV"}}), dir_ / "out", dir_ / "err");
    int waitStatus = 0;
    ASSERT_EQ(::waitpid(pid, &waitStatus, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(waitStatus));
    // Mid-conversion: the working copy is there, and so is a partial text
    // under its hidden name; TWO.TXT appears only when it is whole.
    EXPECT_FALSE(TempIsEmpty());
    const std::vector<std::string> parts = PartFiles(work_);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(build::ReadFileBytes(work_ + "/" + parts[0]), "one two [ab]");
    EXPECT_FALSE(Exists("TWO.TXT"));
    ::kill(pid, signalNumber);
    ::kill(pid, SIGCONT);
    ASSERT_EQ(::waitpid(pid, &waitStatus, 0), pid);
    EXPECT_EQ(StatusOf(waitStatus), 128 + signalNumber) << signalNumber;
    EXPECT_FALSE(Exists("TWO.TXT")) << signalNumber;
    EXPECT_TRUE(PartFiles(work_).empty()) << signalNumber;
    const std::vector<std::string> order = DirectoryOrder(work_);
    const bool oneFirst = std::find(order.begin(), order.end(), "ONE.QRV") <
                          std::find(order.begin(), order.end(), "TWO.QRV");
    EXPECT_EQ(Exists("ONE.TXT"), oneFirst) << signalNumber;
    EXPECT_TRUE(TempIsEmpty()) << signalNumber;
  }
}

// Without a temporary folder the pages still convert, but never silently:
// lost notes and an unconvertible document are named, and fail the run.
TEST_F(Conditions, NoTemporaryFolderIsSaidAndCounted) {
  const std::string missing =
      " (the temporary folder " + dir_ / "none" + " cannot be used: No such file or directory)\n";
  struct Case {
    const char* document;
    DocumentRecipe recipe;
    int status;
    std::string errors;
    const char* text;  // nullptr: no text file
  };
  const std::vector<Case> cases = {
      {"PLAIN.QRV", {.pages = {TextPage({"p"})}}, 0, "", "p"},
      {"NOTES.QRV",
       {.pages = {TextPage({"p"})}, .notes = {{1, "a", "b"}}},
       1,
       "exqrv: NOTES.QRV: no temporary file could be made, so its notes are missing" + missing,
       "p"},
      {"PACKED.QRV",
       {.pages = {TextPage({"p"})}, .compress = true},
       1,
       "exqrv: PACKED.QRV: no temporary file could be made, so it was not converted" + missing,
       nullptr},
  };
  for (const Case& c : cases) {
    Write(c.document, c.recipe);
    const Ended run =
        Run({.argv = {exqrv_, c.document}, .environment = {"TMPDIR=" + dir_ / "none"}});
    EXPECT_EQ(run.status, c.status) << c.document;
    EXPECT_EQ(run.errors, c.errors) << c.document;
    const std::string text =
        std::string(c.document).substr(0, std::string(c.document).size() - 3) + "TXT";
    EXPECT_EQ(Exists(text), c.text != nullptr) << c.document;
    if (c.text != nullptr) {
      EXPECT_EQ(ReadAll(work_ + "/" + text), c.text) << c.document;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "none"));
}

// A temporary folder on a device too small for the working copy: the
// conversion fails at once, says which document, and the text that was
// there stays.
// Mounting a small device needs root.
TEST_F(Conditions, AFullTemporaryDeviceFailsTheDocument) {
  const std::string small = dir_ / "small";
  std::filesystem::create_directories(small);
  if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "needs root to mount a small tmpfs (" << std::strerror(errno) << ")";
  }
  std::vector<std::string> pages;
  for (int i = 0; i < 8; ++i) pages.push_back(TextPage({std::string(40000, 'a' + i)}));
  Write("BIG.QRV",
        {.pages = pages, .notes = {{1, "n", "t"}}, .compress = true, .compressNotes = true});
  ASSERT_TRUE(build::WriteFileBytes(work_ + "/BIG.TXT", "good"));
  const Ended exqrv = Run({.argv = {exqrv_, "BIG.QRV"}, .environment = {"TMPDIR=" + small}});
  const Ended text =
      Run({.argv = {qrvtool_, "text", "BIG.QRV"}, .environment = {"TMPDIR=" + small}});
  const bool emptied = std::filesystem::is_empty(small);
  ::umount(small.c_str());
  EXPECT_EQ(exqrv.status, 1);
  EXPECT_NE(exqrv.errors.find("No space left on device"), std::string::npos) << exqrv.errors;
  EXPECT_NE(exqrv.errors.find("exqrv: BIG.QRV: a temporary file could not be written"),
            std::string::npos)
      << exqrv.errors;
  EXPECT_EQ(ReadAll(work_ + "/BIG.TXT"), "good");
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.errors.find("BIG.QRV: a temporary file could not be written"), std::string::npos)
      << text.errors;
  EXPECT_TRUE(emptied);
}

// Notes larger than the memory the process may have: the document fails with
// that reason, and the notes' work file goes with it, instead of an abort
// that leaves the work file behind.
TEST_F(Conditions, NotesBeyondMemoryFailTheDocumentWithAReason) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit allows";
#endif
  constexpr rlim_t kAddressSpace = 32 << 20;
  const std::string text(65535, 'n');
  const std::vector<build::NoteRecipe> notes(250, build::NoteRecipe{1, text, text});  // 33 MB
  Write("NOTES.QRV", {.pages = {TextPage({"p"})}, .notes = notes});
  const struct {
    std::vector<std::string> argv;
    std::string says;
  } cases[] = {
      {{qrvtool_, "text", "NOTES.QRV"}, "qrvtool: NOTES.QRV: runs out of memory"},
      {{qrvtool_, "info", "NOTES.QRV"}, "qrvtool: NOTES.QRV: runs out of memory"},
  };
  for (const auto& c : cases) {
    const Ended run = Run({.argv = c.argv, .addressSpace = kAddressSpace});
    EXPECT_EQ(run.status, 1) << c.argv[1] << run.errors;
    EXPECT_NE(run.errors.find(c.says), std::string::npos) << run.errors;
    EXPECT_TRUE(TempIsEmpty()) << c.argv[1];
  }
}

// However little memory the machine leaves a command, it ends with a named
// failure or does its work, never in an abort, and leaves nothing behind:
// neither the private temporary folder nor a part file. Each case runs under
// a ladder of address-space limits, from the least that lets the program
// read its command line (below it not even an exception can be made) to
// one that holds a conversion. Under most of them convert cannot start the
// threads it asks for, or any thread at all.
TEST_F(Conditions, ShortOfMemoryACommandFailsCleanly) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer maps more than any limit here allows";
#endif
  std::vector<std::string> pages;
  for (int i = 0; i < 3; ++i) {
    std::string text;
    for (int n = 0; text.size() < 300000; ++n) {
      text += std::to_string(n * 7919 % 104729) + (n % 9 ? " " : "\r\n");
    }
    pages.push_back(TextPage({text}));
  }
  std::filesystem::create_directories(work_ + "/big");
  Write("big/A.QRV",
        {.pages = pages, .notes = {{1, "[n", "]"}}, .compress = true, .compressNotes = true});
  Write("big/B.QRV", {.pages = {pages[0]}, .notes = {{1, "[m", "]"}}});
  const rlim_t kMiB = 1 << 20;
  rlim_t least = kMiB;
  while (least < 64 * kMiB &&
         Run({.argv = {qrvtool_, "text"}, .addressSpace = least}).status != 2) {
    least += kMiB / 4;
  }
  const std::vector<std::vector<std::string>> commands = {
      {"convert", "-j", "1", "big"}, {"convert", "-j", "64", "big"}, {"text", "big/A.QRV"},
      {"info", "big/A.QRV"},         {"verify", "big/A.QRV"},
  };
  for (const std::vector<std::string>& command : commands) {
    std::vector<std::string> argv = {qrvtool_};
    argv.insert(argv.end(), command.begin(), command.end());
    std::string what;
    for (const std::string& word : command) what += word + " ";
    bool worked = false;
    for (rlim_t limit = least; limit <= least + 20 * kMiB; limit += kMiB / 2) {
      std::filesystem::remove(work_ + "/big/A.TXT");
      std::filesystem::remove(work_ + "/big/B.TXT");
      const Ended run = Run({.argv = argv, .addressSpace = limit});
      const std::string where = what + "under " + std::to_string(limit / 1024) + " KiB";
      ASSERT_TRUE(run.status == 0 || run.status == 1) << where << ": " << run.status << "\n"
                                                      << run.errors;
      EXPECT_TRUE(TempIsEmpty()) << where;
      EXPECT_EQ(CountFiles(".part"), 0u) << where;
      if (run.status == 1) {
        EXPECT_TRUE(run.errors.starts_with("qrvtool: ")) << where << ": " << run.errors;
      }
      if (command[0] == "convert" && run.errors.find(" converted, ") != std::string::npos) {
        const size_t converted = CountFiles(".TXT");
        EXPECT_NE(run.errors.find(std::to_string(converted) + " converted, " +
                                  std::to_string(2 - converted) + " failed"),
                  std::string::npos)
            << where << ": " << run.errors;
      }
      worked |= run.status == 0;
    }
    EXPECT_TRUE(worked) << what << " never had memory enough";
  }
}

// A display that is set but cannot be reached ends in a message and status
// 2, as no display does, never in an abort inside the toolkit.
TEST_F(Conditions, AnUnreachableDisplayIsRefusedClearly) {
#ifndef EXQRV_WITH_QT
  GTEST_SKIP() << "built without the dialog";
#endif
  struct Case {
    std::vector<std::string> environment;
    std::string says;
  };
  const std::string gone = "XDG_RUNTIME_DIR=" + dir_.path();
  const std::vector<Case> cases = {
      {{"DISPLAY=:4711", "-WAYLAND_DISPLAY", "-QT_QPA_PLATFORM"}, "DISPLAY=:4711 does not answer"},
      {{"-DISPLAY", "WAYLAND_DISPLAY=wayland-gone", gone, "-QT_QPA_PLATFORM"},
       "WAYLAND_DISPLAY=wayland-gone does not answer"},
      {{"-DISPLAY", "-WAYLAND_DISPLAY", "-QT_QPA_PLATFORM"}, "no display"},
  };
  for (const Case& c : cases) {
    const Ended run = Run({.argv = {exqrv_}, .environment = c.environment});
    EXPECT_EQ(run.status, 2) << c.says;
    EXPECT_NE(run.errors.find(c.says), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("usage: ExQRV QRVFileName [/TXTDirectory]"), std::string::npos);
  }
}

// The missing-folder question is asked on the terminal even when standard
// error goes to a file; a script answers it on standard input; without a
// terminal or an answer it is No.
TEST_F(Conditions, TheQuestionReachesTheTerminalWithErrorsRedirected) {
  Write("B.QRV", {.pages = {TextPage({"b"})}});
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "yes", "y\n"));
  const int yes = ::open((dir_ / "yes").c_str(), O_RDONLY);
  const Ended answered =
      Run({.argv = {"/usr/bin/script", "-qec", "'" + exqrv_ + "' B.QRV /NEW 2>log", "/dev/null"},
           .input = yes});
  ::close(yes);
  EXPECT_NE(answered.out.find("NEW Directory not exist!"), std::string::npos) << answered.out;
  EXPECT_EQ(ReadAll(work_ + "/NEW/B.TXT"), "b");
  EXPECT_NE(ReadAll(work_ + "/log").find("Create it?"), std::string::npos);

  const Ended alone = Run({.argv = {exqrv_, "B.QRV", "/OTHER"}});
  EXPECT_EQ(alone.status, 2);
  EXPECT_NE(alone.errors.find("No terminal to answer on: taking No."), std::string::npos);
  EXPECT_FALSE(Exists("OTHER"));

  // As rm -i: a script answers on standard input.
  int piped[2];
  ASSERT_EQ(::pipe2(piped, O_CLOEXEC), 0);
  ASSERT_EQ(::write(piped[1], "y\n", 2), 2);
  ::close(piped[1]);
  const Ended scripted = Run({.argv = {exqrv_, "B.QRV", "/PIPED"}, .input = piped[0]});
  ::close(piped[0]);
  EXPECT_EQ(scripted.status, 0) << scripted.errors;
  EXPECT_EQ(ReadAll(work_ + "/PIPED/B.TXT"), "b");
  EXPECT_EQ(scripted.errors.find('\\'), std::string::npos)
      << "shown as the system names it: " << scripted.errors;
  EXPECT_NE(scripted.errors.find(work_ + "/PIPED Directory not exist!"), std::string::npos)
      << scripted.errors;

  // A terminal on standard input, but no controlling terminal: asked there.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int pty = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(pty, 0);
  ASSERT_EQ(::write(master, "y\n", 2), 2);
  const Ended onPty = Run({.argv = {exqrv_, "B.QRV", "/PTY"}, .input = pty});
  ::close(pty);
  char shown[512] = {};
  const ssize_t got = ::read(master, shown, sizeof shown - 1);
  ::close(master);
  EXPECT_EQ(onPty.status, 0) << onPty.errors;
  EXPECT_EQ(ReadAll(work_ + "/PTY/B.TXT"), "b");
  EXPECT_GT(got, 0);
  EXPECT_NE(std::string(shown).find("[y/N]"), std::string::npos) << shown;
}

// A tool told to write over its own input, under the same name or another,
// refuses before it truncates anything.
TEST_F(Conditions, AToolNeverWritesOverItsInput) {
  const std::string page = "page text\r\n";
  ASSERT_TRUE(build::WriteFileBytes(work_ + "/P.txt", page));
  ASSERT_EQ(::link((work_ + "/P.txt").c_str(), (work_ + "/LINK").c_str()), 0);
  const std::vector<std::vector<std::string>> commands = {
      {qrvtool_, "implode", "P.txt", "P.txt"},
      {qrvtool_, "explode", "P.txt", "LINK"},
      {qrvtool_, "implode", "P.txt", "./P.txt"},
      {qrvtool_, "make", "--out", "P.txt", "P.txt"},
  };
  for (const std::vector<std::string>& argv : commands) {
    const Ended run = Run({.argv = argv});
    EXPECT_EQ(run.status, 1) << argv[1];
    EXPECT_NE(run.errors.find("refusing to overwrite"), std::string::npos) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    EXPECT_EQ(ReadAll(work_ + "/P.txt"), page) << argv[1];
  }
  const Ended missing = Run({.argv = {qrvtool_, "text", "NOSUCH.QRV"}});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.errors, "qrvtool: NOSUCH.QRV: No such file or directory\n");
}

// A document whose text is larger than the limits below (1.2 MB).
DocumentRecipe BigDocument() {
  std::vector<std::string> pages;
  for (int i = 0; i < 40; ++i) pages.push_back(TextPage({std::string(30000, 'a' + i % 26)}));
  return {.pages = pages, .compress = true};
}

// A text file appears whole or not at all: a write that fails, under a
// file-size limit or on a full device, costs neither the text that was there
// nor a leftover, and the failure is named.
TEST_F(Conditions, AFailedWriteKeepsTheTextThatWasThere) {
  Write("BIG.QRV", BigDocument());
  const std::string full = dir_ / "full";
  std::filesystem::create_directories(full);
  const bool mounted =
      ::geteuid() == 0 && ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=256k") == 0;
  struct Case {
    const char* what;
    std::vector<std::string> argv;
    std::string folder;  // where the text goes
    rlim_t limit;
  };
  std::vector<Case> cases = {
      {"exqrv, ulimit -f", {exqrv_, "BIG.QRV"}, work_, 600 * 1024},
      {"qrvtool convert, ulimit -f", {qrvtool_, "convert", "BIG.QRV"}, work_, 600 * 1024},
  };
  if (mounted) {
    cases.push_back({"exqrv, full target", {exqrv_, "BIG.QRV", "/" + full}, full, RLIM_INFINITY});
    cases.push_back({"qrvtool, full target",
                     {qrvtool_, "convert", "-o", full, "BIG.QRV"},
                     full,
                     RLIM_INFINITY});
  }
  for (const Case& c : cases) {
    ASSERT_TRUE(build::WriteFileBytes(c.folder + "/BIG.TXT", "good"));
    const Ended run = Run({.argv = c.argv, .fileSizeLimit = c.limit});
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_NE(run.errors.find("BIG.QRV: "), std::string::npos) << c.what << ": " << run.errors;
    // The document is sound: no page of it may be called damaged.
    EXPECT_EQ(run.errors.find("does not expand"), std::string::npos)
        << c.what << ": " << run.errors;
    EXPECT_EQ(ReadAll(c.folder + "/BIG.TXT"), "good") << c.what;
    EXPECT_TRUE(PartFiles(c.folder).empty()) << c.what;
    EXPECT_TRUE(TempIsEmpty()) << c.what;
  }
  if (mounted) ::umount(full.c_str());
}

// Two runs that write texts of one name into one folder at once: each text
// is whole, and the one that finished last is what stays.
TEST_F(Conditions, TwoRunsIntoOneFolderLeaveOneWholeText) {
  std::filesystem::create_directories(work_ + "/a");
  std::filesystem::create_directories(work_ + "/b");
  std::filesystem::create_directories(work_ + "/out");
  Write("a/TWO.QRV", kThreePages);
  Write("b/TWO.QRV", BigDocument());
  const pid_t first = Start(WithTemp({.argv = {stopping_, "2", "a/TWO.QRV", "/out"}}),
                            dir_ / "out1", dir_ / "err1");
  int waitStatus = 0;
  ASSERT_EQ(::waitpid(first, &waitStatus, WUNTRACED), first);
  const Ended second = Run({.argv = {exqrv_, "b/TWO.QRV", "/out"}});
  EXPECT_EQ(second.status, 0) << second.errors;
  EXPECT_EQ(ReadAll(work_ + "/out/TWO.TXT").size(), 40u * 30000u);
  ::kill(first, SIGCONT);
  ASSERT_EQ(::waitpid(first, &waitStatus, 0), first);
  EXPECT_EQ(StatusOf(waitStatus), 0);
  EXPECT_EQ(ReadAll(work_ + "/out/TWO.TXT"), kThreePagesText);
  EXPECT_TRUE(PartFiles(work_ + "/out").empty());
}

// Whatever fails is said, one line naming the document and why.
TEST_F(Conditions, EveryFailureIsNamed) {
  Write("BOOK.QRV", kThreePages);
  ASSERT_TRUE(build::WriteFileBytes(work_ + "/FILE", "a file"));
  std::filesystem::create_directories(work_ + "/DIR.QRV");
  std::filesystem::create_directories(work_ + "/case");
  Write("case/SAME.QRV", {.pages = {TextPage({"upper"})}});
  Write("case/SAME.qrv", {.pages = {TextPage({"lower"})}});
  ASSERT_EQ(::mkfifo((work_ + "/PIPE.QRV").c_str(), 0600), 0);
  std::string damaged = build::BuildDocument(kThreePages);
  damaged[build::PageContentOffset(kThreePages, 2)] = 'X';  // page 2's block loses its magic
  ASSERT_TRUE(build::WriteFileBytes(work_ + "/DAMAGED.QRV", damaged));
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> said;  // each in the one line standard error holds
  };
  const Case cases[] = {
      {"missing document", {"MISSING.QRV"}, {"exqrv: MISSING.QRV: nothing matches"}},
      {"a folder", {"DIR.QRV"}, {"exqrv: DIR.QRV: ", "directory"}},
      {"a pipe", {"PIPE.QRV"}, {"exqrv: PIPE.QRV: ", "not a file"}},
      {"target is a file",
       {"BOOK.QRV", "/FILE"},
       {"exqrv: BOOK.QRV: cannot write into ", "Not a directory"}},
      {"names that differ in case", {"case/SAME.*"}, {"is already the text of SAME."}},
      {"a damaged page",
       {"DAMAGED.QRV"},
       {"exqrv: DAMAGED.QRV: page 2 does not expand (result 8): its text is missing\n"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {exqrv_};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const Ended run = Run({.argv = argv});
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1)
        << c.what << ": " << run.errors;
    for (const std::string& part : c.said) {
      EXPECT_NE(run.errors.find(part), std::string::npos) << c.what << ": " << run.errors;
    }
  }
  // A damaged document's text keeps every byte that could be had.
  EXPECT_EQ(ReadAll(work_ + "/DAMAGED.TXT"), "one [ab]three");
  // Of the two that share a text name, the first converted stays whole.
  const std::string same = ReadAll(work_ + "/SAME.TXT");
  EXPECT_TRUE(same == "upper" || same == "lower") << same;
}

// Whatever another user put at a text's name is replaced, never written
// through, and what is no file is refused; nothing hangs.
TEST_F(Conditions, NothingIsWrittenThroughAPlantedName) {
  Write("REPORT.QRV", kThreePages);
  const std::string victim = dir_ / "victim";
  const std::string text = work_ + "/REPORT.TXT";
  struct Case {
    const char* what;
    void (*plant)(const std::string& text, const std::string& victim);
    int status;
  };
  const Case cases[] = {
      {"link to a file",
       [](const std::string& t, const std::string& v) { (void)!::symlink(v.c_str(), t.c_str()); },
       0},
      {"dangling link",
       [](const std::string& t, const std::string& v) {
         (void)!::symlink((v + "-new").c_str(), t.c_str());
       },
       0},
      {"hard link",
       [](const std::string& t, const std::string& v) { (void)!::link(v.c_str(), t.c_str()); }, 0},
      {"pipe", [](const std::string& t, const std::string&) { (void)!::mkfifo(t.c_str(), 0600); },
       1},
      {"folder",
       [](const std::string& t, const std::string&) { std::filesystem::create_directory(t); }, 1},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(text);
    std::filesystem::remove(victim + "-new");
    ASSERT_TRUE(build::WriteFileBytes(victim, "victim's own"));
    c.plant(text, victim);
    const Ended run = Run({.argv = {"/usr/bin/timeout", "10", exqrv_, "*.QRV"}});
    EXPECT_EQ(run.status, c.status) << c.what << ": " << run.errors;
    EXPECT_EQ(ReadAll(victim), "victim's own") << c.what;
    EXPECT_FALSE(std::filesystem::exists(victim + "-new")) << c.what;
    struct stat st {};
    ASSERT_EQ(::lstat(text.c_str(), &st), 0) << c.what;
    if (c.status == 0) {
      EXPECT_TRUE(S_ISREG(st.st_mode)) << c.what;
      EXPECT_EQ(ReadAll(text), kThreePagesText) << c.what;
    } else {
      EXPECT_FALSE(S_ISREG(st.st_mode)) << c.what;
      EXPECT_NE(run.errors.find("exqrv: REPORT.QRV: cannot write "), std::string::npos)
          << run.errors;
    }
    EXPECT_TRUE(PartFiles(work_).empty()) << c.what;
  }
}

// Stopped in the middle of its second text, the run finds its target folder
// and its temporary folder replaced by links to a victim's folder: it goes on
// in the folders it opened, and the victim's files stay as they were.
TEST_F(Conditions, SwappedFoldersLeadNowhere) {
  std::filesystem::create_directories(work_ + "/out");
  Write("ONE.QRV", {.pages = {TextPage({"single"})}, .compress = true});
  Write("TWO.QRV", kThreePages);
  const std::string victim = dir_ / "victim";
  std::filesystem::create_directories(victim);
  ASSERT_TRUE(build::WriteFileBytes(victim + "/TWO.TXT", "victim's own"));
  const pid_t pid =
      Start(WithTemp({.argv = {stopping_, "2", "*.QRV", "/out"}}), dir_ / "out", dir_ / "err");
  int waitStatus = 0;
  ASSERT_EQ(::waitpid(pid, &waitStatus, WUNTRACED), pid);
  std::vector<std::string> folders = DirectoryOrder(temp_);
  std::erase_if(folders, [](const std::string& name) { return name[0] == '.'; });
  ASSERT_EQ(folders.size(), 1u);
  std::filesystem::rename(temp_ + "/" + folders[0], dir_ / "moved");
  std::filesystem::create_directory_symlink(victim, temp_ + "/" + folders[0]);
  std::filesystem::rename(work_ + "/out", work_ + "/out.real");
  std::filesystem::create_directory_symlink(victim, work_ + "/out");
  ::kill(pid, SIGCONT);
  ASSERT_EQ(::waitpid(pid, &waitStatus, 0), pid);
  EXPECT_EQ(StatusOf(waitStatus), 0) << ReadAll(dir_ / "err");
  EXPECT_EQ(ReadAll(work_ + "/out.real/TWO.TXT"), kThreePagesText);
  EXPECT_EQ(DirectoryOrder(victim).size(), 3u);  // ".", ".." and its own
  EXPECT_EQ(ReadAll(victim + "/TWO.TXT"), "victim's own");
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "moved"));
}

// A temporary folder in which other users may rename what is not theirs is
// refused with its reason; a relative one is taken from where the run began.
TEST_F(Conditions, TheTemporaryFolderIsCheckedAndFoundWhereTheRunBegan) {
  std::filesystem::create_directories(work_ + "/sub");
  Write("sub/A.QRV", kThreePages);
  const std::string shared = dir_ / "shared";
  std::filesystem::create_directories(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
  const Ended refused = Run({.argv = {exqrv_, "sub/A.QRV"}, .environment = {"TMPDIR=" + shared}});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.errors.find("is writable by other users and has no sticky bit"),
            std::string::npos)
      << refused.errors;
  EXPECT_TRUE(std::filesystem::is_empty(shared));
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  EXPECT_EQ(Run({.argv = {exqrv_, "sub/A.QRV"}, .environment = {"TMPDIR=" + shared}}).status, 0);

  std::filesystem::create_directories(work_ + "/reltmp");
  for (const std::string base : {"reltmp", "."}) {
    std::filesystem::remove(work_ + "/A.TXT");
    const Ended exqrv = Run({.argv = {exqrv_, "sub/A.QRV"}, .environment = {"TMPDIR=" + base}});
    EXPECT_EQ(exqrv.status, 0) << base << ": " << exqrv.errors;
    EXPECT_EQ(ReadAll(work_ + "/A.TXT"), kThreePagesText) << base;
    const Ended text =
        Run({.argv = {qrvtool_, "text", "sub/A.QRV"}, .environment = {"TMPDIR=" + base}});
    EXPECT_EQ(text.status, 0) << base << ": " << text.errors;
    EXPECT_EQ(text.out, kThreePagesText) << base;
  }
  EXPECT_TRUE(std::filesystem::is_empty(work_ + "/reltmp"));
}

// A run killed outright leaves its temporary folder and its hidden part
// file; the next run removes both, but never what a live run is using.
TEST_F(Conditions, WhatADeadRunLeftIsRemovedByTheNext) {
  Write("TWO.QRV", kThreePages);
  Write("ONE.QRV", {.pages = {TextPage({"single"})}});
  auto stopped = [&](const char* name) {
    const pid_t pid =
        Start(WithTemp({.argv = {stopping_, "2", "TWO.QRV"}}), dir_ / (std::string(name) + ".out"),
              dir_ / (std::string(name) + ".err"));
    int waitStatus = 0;
    EXPECT_EQ(::waitpid(pid, &waitStatus, WUNTRACED), pid);
    return pid;
  };
  const pid_t dead = stopped("dead");
  ::kill(dead, SIGKILL);
  ::waitpid(dead, nullptr, 0);
  const std::vector<std::string> deadParts = PartFiles(work_);
  const std::vector<std::string> deadFolders = DirectoryOrder(temp_);
  ASSERT_EQ(deadParts.size(), 1u);
  ASSERT_EQ(deadFolders.size(), 3u);  // ".", ".." and its folder
  const pid_t live = stopped("live");
  const std::vector<std::string> liveParts = PartFiles(work_);
  const std::vector<std::string> liveFolders = DirectoryOrder(temp_);
  ASSERT_EQ(liveParts.size(), 1u);
  EXPECT_NE(liveParts, deadParts);
  ASSERT_EQ(liveFolders.size(), 3u);
  EXPECT_NE(liveFolders, deadFolders);
  // A third run leaves the live run's files alone.
  EXPECT_EQ(Run({.argv = {exqrv_, "ONE.QRV"}}).status, 0);
  EXPECT_EQ(PartFiles(work_), liveParts);
  EXPECT_EQ(DirectoryOrder(temp_), liveFolders);
  ::kill(live, SIGCONT);
  int waitStatus = 0;
  ASSERT_EQ(::waitpid(live, &waitStatus, 0), live);
  EXPECT_EQ(StatusOf(waitStatus), 0);
  EXPECT_EQ(ReadAll(work_ + "/TWO.TXT"), kThreePagesText);
  EXPECT_TRUE(PartFiles(work_).empty());
  EXPECT_TRUE(TempIsEmpty());
}

}  // namespace
}  // namespace exqrv
