// exqrv.exe and qrvtool.exe as a user runs them on Windows: started with a
// raw command line in a folder, with no console at all (as a service or CI
// starts them: the question takes No at once), standard error and standard
// output in files.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "builder/document_builder.h"
#include "support/program_cases.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::TextPage;

// The programs sit beside the test program.
std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

struct Outcome {
  DWORD status = 0;
  std::string out, errors;
};

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts "program arguments" in folder, its input the file named (empty:
// none), and waits.
Outcome Start(const std::string& program, const std::string& arguments,
              const build::ScratchDir& folder, const std::string& inputFile = "NUL") {
  Outcome outcome;
  const build::ScratchDir captures;
  const HANDLE input = Inheritable(inputFile, GENERIC_READ, OPEN_EXISTING);
  const HANDLE output = Inheritable(captures / "out", GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE errors = Inheritable(captures / "errors", GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = input;
  start.hStdOutput = output;
  start.hStdError = errors;
  PROCESS_INFORMATION process{};
  std::string commandLine = "\"" + ProgramFolder() + program + "\"" + arguments;
  const bool started =
      CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                     folder.path().c_str(), &start, &process);
  if (started) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &outcome.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    outcome.status = static_cast<DWORD>(-1);
  }
  for (const HANDLE handle : {input, output, errors}) CloseHandle(handle);
  outcome.out = build::ReadFileBytes(captures / "out");
  outcome.errors = build::ReadFileBytes(captures / "errors");
  return outcome;
}

struct ExqrvCase {
  const char* what;
  std::string args;  // the raw command line after the name, "@" for the folder
  DWORD status;
  std::string errors;
  std::vector<std::pair<std::string, std::string>> texts;  // file, content
  std::vector<std::string> absent;
};

class Win32Programs : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(build::WriteFileBytes(dir_ / name, bytes)) << name;
  }
  build::ScratchDir dir_;
};

TEST_F(Win32Programs, ExqrvOnTheCommandLine) {
  for (const char* sub : {"sub", "mixed", "odd"}) std::filesystem::create_directories(dir_ / sub);
  Write("BOOK.QRV", build::BuildDocument({.pages = {TextPage({"one "}), TextPage({"two"})},
                                          .notes = {{1, "[n", "]"}}}));
  Write("sub\\A.QRV", build::BuildDocument({.pages = {TextPage({"alpha"})}, .compress = true}));
  Write("sub\\b.qrv",
        build::BuildDocument(
            {.pages = {TextPage({"beta"})}, .notes = {{1, "<", ">"}}, .compressNotes = true}));
  Write("mixed\\GOOD.QRV", build::BuildDocument({.pages = {TextPage({"good"})}}));
  Write("mixed\\BAD.QRV", "not a document");
  Write("odd\\ODD.QRV", build::UnknownCommandDocument());
  const std::string usage = ArgumentsErrorMessage() + "\n";
  const std::string folder = dir_.path();

  const ExqrvCase cases[] = {
      {"one document here", " BOOK.QRV", 0, "", {{"BOOK.TXT", "one [n]two"}}, {}},
      {"blanks after the name are not part of the line",
       " \t BOOK.QRV",
       0,
       "",
       {{"BOOK.TXT", "one [n]two"}},
       {}},
      {"missing target, no console",
       " sub\\*.QRV /out",
       2,
       CreateDirectoryQuestion("@\\out") + "\nNo terminal to answer on: taking No.\n",
       {},
       {"out", "sub\\A.TXT"}},
      {"every match, any case, compressed and with notes",
       " sub\\*.QRV /sub",
       0,
       "",
       {{"sub\\A.TXT", "alpha"}, {"sub\\b.TXT", "beta<>"}},
       {}},
      {"absolute source and target",
       " @\\sub\\*.qrv /@\\mixed",
       0,
       "",
       {{"mixed\\A.TXT", "alpha"}, {"mixed\\b.TXT", "beta<>"}},
       {}},
      {"two separators", " A.QRV B.QRV /OUT", 2, usage, {}, {"OUT"}},
      {"quotes are part of the line",
       " \"BOOK.QRV\"",
       1,
       "exqrv: \"BOOK.QRV\": nothing matches\n",
       {},
       {}},
      {"second token without slash", " BOOK.QRV OUT", 2, usage, {}, {"OUT"}},
      {"nothing matches",
       " none*.QRV",
       1,
       std::string("exqrv: none*.QRV: ") + kNothingMatches + "\n",
       {},
       {}},
      {"one document fails, the next is converted",
       " mixed\\*.QRV /mixed",
       1,
       std::string("exqrv: BAD.QRV: ") + kNotADocument + "\n",
       {{"mixed\\GOOD.TXT", "good"}},
       {"mixed\\BAD.TXT"}},
      {"unknown pairs, said once for the page",
       " odd\\ODD.QRV",
       0,
       "exqrv: ODD.QRV: page 1: unexpect command! (3 times)\n",
       {{"ODD.TXT", "AB"}},
       {}},
      // The tests run without a display; the dialog's own test has one.
      {"no command line and no display: no dialog",
       "",
       2,
       "exqrv: the dialog cannot be shown on this desktop\nusage: ExQRV QRVFileName "
       "[/TXTDirectory]\n",
       {},
       {}},
  };
  for (const ExqrvCase& c : cases) {
    const Outcome run = Start("exqrv.exe", build::Substituted(c.args, folder), dir_);
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.errors, build::Substituted(c.errors, folder)) << c.what;
    for (const auto& [file, content] : c.texts) {
      EXPECT_EQ(build::ReadFileBytes(dir_ / file), content) << c.what << ": " << file;
    }
    for (const std::string& file : c.absent) {
      EXPECT_FALSE(std::filesystem::exists(dir_ / file)) << c.what << ": " << file;
    }
  }
}

TEST_F(Win32Programs, QrvtoolTextEqualsWhatExqrvWrites) {
  Write("BOOK.QRV", build::BuildDocument(
                        {.pages = {TextPage({"one "}), TextPage({"two "}), TextPage({"three"})},
                         .notes = {{2, "[a", "b]"}, {3, "[c", "d]"}},
                         .compress = true,
                         .compressNotes = true}));
  ASSERT_EQ(Start("exqrv.exe", " BOOK.QRV", dir_).status, 0u);
  const std::string written = build::ReadFileBytes(dir_ / "BOOK.TXT");
  EXPECT_EQ(written, "one two [ab]three[cd]");
  const Outcome text = Start("qrvtool.exe", " text BOOK.QRV", dir_);
  EXPECT_EQ(text.status, 0u) << text.errors;
  EXPECT_EQ(text.out, written);
  const Outcome pages = Start("qrvtool.exe", " text --pages 2 --no-notes BOOK.QRV", dir_);
  EXPECT_EQ(pages.out, "two ");
  EXPECT_EQ(Start("qrvtool.exe", " verify BOOK.QRV", dir_).status, 0u);
}

// qrvtool's own file handling on the system's services: a text file appears
// whole under its name, a kept one stays, standard input is a document, and
// code pages come from the system's tables.
TEST_F(Win32Programs, QrvtoolConvertsKeepsReadsInputAndRecodes) {
  std::filesystem::create_directories(dir_ / "in\\deep");
  Write("in\\A.QRV", build::BuildDocument({.pages = {TextPage({"alpha"})}, .compress = true}));
  Write("in\\deep\\B.QRV",
        build::BuildDocument({.pages = {TextPage({"beta"})}, .notes = {{1, "<", ">"}}}));
  Write("CAFE.QRV",
        build::BuildDocument({.pages = {TextPage({"caf\xE9\r\n"}), TextPage({"\x80"})}}));

  const Outcome convert = Start("qrvtool.exe", " convert -j 2 --quiet -r -o out in", dir_);
  EXPECT_EQ(convert.status, 0u) << convert.errors;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "out\\A.TXT"), "alpha");
  EXPECT_EQ(build::ReadFileBytes(dir_ / "out\\deep\\B.TXT"), "beta<>");

  Write("out\\A.TXT", "mine");
  const Outcome keep = Start("qrvtool.exe", " convert -n --quiet -r -o out in", dir_);
  EXPECT_EQ(keep.status, 0u) << keep.errors;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "out\\A.TXT"), "mine");
  const Outcome replace = Start("qrvtool.exe", " convert --quiet -r -o out in", dir_);
  EXPECT_EQ(replace.status, 0u) << replace.errors;
  EXPECT_EQ(build::ReadFileBytes(dir_ / "out\\A.TXT"), "alpha");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_ / "out")) {
    EXPECT_EQ(entry.path().extension(), entry.is_directory() ? "" : ".TXT") << entry.path();
  }

  // A name outside the system's old code page, found by walking a folder.
  const std::filesystem::path greek = dir_.path() + "\\names";
  std::filesystem::create_directories(greek);
  const std::string book = build::BuildDocument({.pages = {TextPage({"omega"})}});
  std::ofstream(greek / L"\u03A9caf\u00E9.QRV", std::ios::binary) << book;
  const Outcome names = Start("qrvtool.exe", " convert --quiet -o names\\out names", dir_);
  EXPECT_EQ(names.status, 0u) << names.errors;
  std::ifstream text(greek / L"out\\\u03A9caf\u00E9.TXT", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(text), {}), "omega");

  const Outcome piped = Start("qrvtool.exe", " text -", dir_, dir_ / "in\\deep\\B.QRV");
  EXPECT_EQ(piped.status, 0u) << piped.errors;
  EXPECT_EQ(piped.out, "beta<>");

  const Outcome recoded = Start("qrvtool.exe", " text --encoding CP1252 --lf CAFE.QRV", dir_);
  EXPECT_EQ(recoded.status, 0u) << recoded.errors;
  EXPECT_EQ(recoded.out, "caf\xC3\xA9\n\xE2\x82\xAC");
  const Outcome unknown = Start("qrvtool.exe", " text --encoding NOSUCH CAFE.QRV", dir_);
  EXPECT_EQ(unknown.status, 2u);
  EXPECT_NE(unknown.errors.find("unknown code page 'NOSUCH'"), std::string::npos) << unknown.errors;
}

}  // namespace
}  // namespace exqrv
