// exqrv.exe started without arguments, as a person starts it, driven from
// another process through the window system: its dialog is found by its
// title, measured against the template, and used to convert documents.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "dialog/batch_conversion.h"
#include "dialog/dialog_template.h"
#include "dialog/entry_painting.h"
#include "platform/prompter.h"
#include "support/scratch_dir.h"
#include "win32_dialog/win32_main_dialog.h"

namespace exqrv::win32ui {
namespace {

using build::PageStream;
using build::TextPage;
using namespace std::chrono_literals;

constexpr auto kPatience = 60s;

// Asks until the answer is there or patience runs out.
template <typename T>
T WaitFor(const std::function<T()>& ask) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  T answer = ask();
  while (!answer && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
    answer = ask();
  }
  return answer;
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The window's text through WM_GETTEXT, which the system carries across
// processes.
std::string TextOf(HWND window) {
  char text[512] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, &length);
  return std::string(text, length);
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  const int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, static_cast<size_t>(std::max(length, 0)));
}

// The rectangle of a child window in its dialog's client coordinates.
RECT PlaceIn(HWND dialogWindow, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, dialogWindow, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The template's rectangles in pixels, through the base units of the dialog
// font as this system gives them: a dialog made here from the same template,
// never shown.
class TemplateInPixels {
 public:
  TemplateInPixels() {
    const std::vector<DWORD> dialogTemplate = BuildDialogTemplate();
    reference_ = CreateDialogIndirectParamA(
        GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()),
        nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  }
  ~TemplateInPixels() {
    if (reference_ != nullptr) DestroyWindow(reference_);
  }
  bool Made() const { return reference_ != nullptr; }
  // left, top, width, height: the dialog manager converts a control's
  // place and its size each on its own, as MapDialogRect converts each of
  // its four numbers.
  RECT operator()(const dialog::DialogRect& units) const {
    RECT rect{units.x, units.y, units.width, units.height};
    MapDialogRect(reference_, &rect);
    return rect;
  }

 private:
  HWND reference_ = nullptr;
};

// exqrv.exe started in a folder with no command line, its standard error in a
// file; ended with the test if it is still running.
class Exqrv {
 public:
  explicit Exqrv(const std::string& folder) : errorsPath_(captures_ / "errors") {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    errors_ = CreateFileA(errorsPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdError = errors_;
    std::string commandLine = "\"" + ProgramFolder() + "exqrv.exe\"";
    started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                              nullptr, folder.c_str(), &start, &process_);
  }
  ~Exqrv() {
    if (started_) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
      }
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    CloseHandle(errors_);
  }
  Exqrv(const Exqrv&) = delete;
  Exqrv& operator=(const Exqrv&) = delete;

  bool Started() const { return started_; }
  bool Owns(HWND window) const {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id == process_.dwProcessId;
  }
  // The first visible top-level window of the program with this title.
  HWND FindWindowTitled(const std::string& title) const {
    struct Search {
      const Exqrv* program;
      const std::string* title;
      HWND found;
    } search{this, &title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto& s = *reinterpret_cast<Search*>(data);
          if (!s.program->Owns(window) || !IsWindowVisible(window) || TextOf(window) != *s.title) {
            return TRUE;
          }
          s.found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  // The dialog's window, once it shows; nullptr if it does not.
  HWND WaitForDialog() const {
    const std::string title(dialog::kDialogTitle);
    return WaitFor<HWND>([&] { return FindWindowTitled(title); });
  }
  // Waits for the end; the exit status, or -1 if it does not end.
  long Wait() const {
    if (WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) return -1;
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return static_cast<long>(status);
  }
  std::string Errors() const { return build::ReadFileBytes(errorsPath_); }

 private:
  build::ScratchDir captures_;
  std::string errorsPath_;
  HANDLE errors_ = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

// What a message box shows: its text, its buttons, its icon.
struct Box {
  std::string text;
  bool ok = false, cancel = false, yes = false;
  HICON icon = nullptr;
};

Box Read(HWND box) {
  Box read;
  read.ok = GetDlgItem(box, IDOK) != nullptr;
  read.cancel = GetDlgItem(box, IDCANCEL) != nullptr;
  read.yes = GetDlgItem(box, IDYES) != nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) != "Static") continue;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      read.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    } else if (const std::string text = TextOf(child); !text.empty()) {
      // The message ends in a line end, which the box does not show.
      read.text = text.substr(0, text.find_last_not_of("\r\n") + 1);
    }
  }
  return read;
}

std::vector<std::string> LogLines(HWND dialogWindow) {
  std::vector<std::string> lines;
  for (int k = 0; k < dialog::kVisibleLogLines; ++k) {
    const std::string line = TextOf(GetDlgItem(dialogWindow, dialog::kFirstLogLineId + k));
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// Text as the system holds it, in UTF-16: names outside the test's own code
// page survive the trip.
std::wstring WideTextOf(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      5000, &length);
  return std::wstring(text, length);
}

std::wstring ListItemText(HWND list, int index) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return L"<none>";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

// What the client area of a top-level window shows, 0x00RRGGBB row by row
// from the top. Wine gives another process's pixels only through the DC of
// its top-level window.
struct Shot {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;
  DWORD At(int x, int y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] &
           0xFFFFFF;
  }
};

Shot ShotOf(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  Shot shot;
  shot.width = rect.right - rect.left;
  shot.height = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // Painted whole first: the program may not have come to every control.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const HDC source = GetDC(window);
  const HDC memory = CreateCompatibleDC(source);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, source, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    const auto* first = static_cast<const DWORD*>(bits);
    shot.pixels.assign(first, first + static_cast<size_t>(shot.width) * shot.height);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(window, source);
  return shot;
}

// Saved for review as a bitmap file in the build folder's screenshots.
bool SaveShot(const Shot& shot, const std::string& name) {
  const std::string folder = ProgramFolder() + "screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = shot.width;
  header.biHeight = -shot.height;  // top row first
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  const DWORD pixelBytes = static_cast<DWORD>(shot.pixels.size() * sizeof(DWORD));
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + pixelBytes;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(shot.pixels.data()), pixelBytes);
  return !shot.pixels.empty() && build::WriteFileBytes(folder + "\\" + name, bytes);
}

HWND ToolTipOf(HWND dialogWindow) {
  struct Search {
    HWND owner;
    HWND found;
  } search{dialogWindow, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        if (GetWindow(window, GW_OWNER) != s.owner || ClassOf(window) != TOOLTIPS_CLASSA) {
          return TRUE;
        }
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST(Win32Dialog, ConvertsTheSelectionAsAPersonWould) {
  build::ScratchDir folder;
  std::filesystem::create_directories(folder / "SUB");
  ASSERT_TRUE(build::WriteFileBytes(folder / "SUB\\A.QRV",
                                    build::BuildDocument({.pages = {TextPage({"alpha"})}})));
  ASSERT_TRUE(build::WriteFileBytes(folder / "BOOK.QRV",
                                    build::BuildDocument({.pages = {TextPage({"book"})}})));
  ASSERT_TRUE(build::WriteFileBytes(
      folder / "NOTES.QRV",
      build::BuildDocument({.pages = {TextPage({"notes"})}, .compress = true})));
  ASSERT_TRUE(build::WriteFileBytes(folder / "NOTES.TXT", "old"));
  ASSERT_TRUE(build::WriteFileBytes(
      folder / "ODD.QRV", build::BuildDocument({.pages = {PageStream()
                                                              .TextRun({PageStream::Item("A")})
                                                              .Code("DT")
                                                              .TextRun({PageStream::Item("B")})
                                                              .End()
                                                              .bytes()}})));

  const TemplateInPixels toPixels;
  ASSERT_TRUE(toPixels.Made()) << "no display: run the test through run_on_virtual_display.sh";
  Exqrv exqrv(folder.path());
  ASSERT_TRUE(exqrv.Started());
  const HWND dialogWindow = exqrv.WaitForDialog();
  ASSERT_NE(dialogWindow, nullptr) << exqrv.Errors();

  // The dialog and each control where the template puts them, in template
  // (tab) order, with their ids, classes, styles and texts.
  RECT client;
  GetClientRect(dialogWindow, &client);
  const RECT size = toPixels(dialog::kDialogSize);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);
  HWND child = GetWindow(dialogWindow, GW_CHILD);
  for (const dialog::ControlTemplate& control : dialog::DialogControls()) {
    SCOPED_TRACE(control.id);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(child)), static_cast<WORD>(control.id));
    EXPECT_EQ(ClassOf(child), ControlClass(control.kind));
    // The controls keep the border and the scroll bar to themselves: a
    // border becomes a sunken edge, a scroll bar's bit follows whether it
    // shows.
    const DWORD style = ControlStyle(control) & ~(WS_BORDER | WS_VSCROLL);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)) & style, style);
    // A selector shows the name of its directory.
    if (control.kind != dialog::ControlKind::Icon &&
        control.kind != dialog::ControlKind::DirectorySelector) {
      EXPECT_EQ(TextOf(child), control.text);
    }
    const RECT expected = toPixels(control.rect);
    const RECT actual = PlaceIn(dialogWindow, child);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    // A selector's template height includes its dropped list; an icon keeps
    // its own size.
    if (control.kind != dialog::ControlKind::Icon) {
      EXPECT_EQ(actual.right - actual.left, expected.right);
    }
    if (control.kind != dialog::ControlKind::Icon &&
        control.kind != dialog::ControlKind::DirectorySelector) {
      EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "a control the template does not have";
  // The window's icons are not checked: Wine answers WM_GETICON from
  // another process with none.
  const HWND toolTip = ToolTipOf(dialogWindow);
  ASSERT_NE(toolTip, nullptr);
  EXPECT_EQ(SendMessageA(toolTip, TTM_GETTOOLCOUNT, 0, 0), 4);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialogWindow, dialog::kLogScrollBarId)));

  // The lists as read from the folder: SUB, BOOK.QRV, NOTES.QRV, ODD.QRV;
  // SUB, NOTES.TXT.
  const HWND documents = GetDlgItem(dialogWindow, dialog::kDocumentFileListId);
  const HWND texts = GetDlgItem(dialogWindow, dialog::kTextFileListId);
  ASSERT_EQ(SendMessageA(documents, LB_GETCOUNT, 0, 0), 4);
  ASSERT_EQ(SendMessageA(texts, LB_GETCOUNT, 0, 0), 2);

  // SUB, NOTES.QRV and ODD.QRV selected, then Convert: the sub-folder's
  // document first, then the question about NOTES.TXT (which the text list
  // shows), then a document with a command the converter does not know.
  SendMessageA(documents, LB_SETSEL, TRUE, 0);
  SendMessageA(documents, LB_SETSEL, TRUE, 2);
  SendMessageA(documents, LB_SETSEL, TRUE, 3);
  PostMessageA(dialogWindow, WM_COMMAND, MAKEWPARAM(dialog::kConvertButtonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialogWindow, dialog::kConvertButtonId)));
  const std::vector<std::string> expectedLog{
      dialog::SucceededLine("A.QRV", "A.TXT"), dialog::SucceededLine("NOTES.QRV", "NOTES.TXT"),
      dialog::LostTextLine("ODD.QRV", "ODD.TXT", "page 1: 1 unknown command")};
  // Every message box is answered with OK as it comes, until the log is
  // complete.
  const std::string caption(platform::kApplicationName);
  std::vector<Box> boxes;
  const bool logged = WaitFor<bool>([&] {
    if (const HWND box = exqrv.FindWindowTitled(caption)) {
      boxes.push_back(Read(box));
      EXPECT_EQ(GetWindow(box, GW_OWNER), dialogWindow);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      WaitFor<bool>([&] { return !IsWindow(box); });
    }
    return LogLines(dialogWindow) == expectedLog;
  });
  EXPECT_TRUE(logged) << ::testing::PrintToString(LogLines(dialogWindow)) << exqrv.Errors();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, dialog::OverwriteQuestion("NOTES.TXT"));
  EXPECT_TRUE(boxes[0].ok && boxes[0].cancel && !boxes[0].yes);
  EXPECT_EQ(boxes[1].text, "unexpect command!\n1 unknown command on page 1");
  EXPECT_TRUE(boxes[1].ok && !boxes[1].cancel && !boxes[1].yes);
  // Wine's message boxes load their icons afresh, so which icon each shows
  // is not compared with the system's own; a question and a warning differ.
  EXPECT_NE(boxes[0].icon, nullptr);
  EXPECT_NE(boxes[1].icon, nullptr);
  EXPECT_NE(boxes[0].icon, boxes[1].icon);

  // A.TXT and ODD.TXT join the text list; NOTES.TXT was there already.
  EXPECT_EQ(SendMessageA(texts, LB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(build::ReadFileBytes(folder / "A.TXT"), "alpha");
  EXPECT_EQ(build::ReadFileBytes(folder / "NOTES.TXT"), "notes");
  EXPECT_EQ(build::ReadFileBytes(folder / "ODD.TXT"), "AB");
  EXPECT_FALSE(std::filesystem::exists(folder / "BOOK.TXT"));

  // The close box ends the program at once, with status 0.
  PostMessageA(dialogWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(exqrv.Wait(), 0);
  EXPECT_EQ(exqrv.Errors(), "");
}

TEST(Win32Dialog, TheCloseBoxStopsABatchAfterItsPageAndThenCloses) {
  build::ScratchDir folder;
  for (const char* name : {"D1.QRV", "D2.QRV", "D3.QRV"}) {
    ASSERT_TRUE(build::WriteFileBytes(
        folder / name, build::BuildDocument({.pages = {TextPage({"one"}), TextPage({"two"}),
                                                       TextPage({"three"})}})));
  }
  Exqrv exqrv(folder.path());
  ASSERT_TRUE(exqrv.Started());
  const HWND dialogWindow = exqrv.WaitForDialog();
  ASSERT_NE(dialogWindow, nullptr) << exqrv.Errors();
  const HWND documents = GetDlgItem(dialogWindow, dialog::kDocumentFileListId);
  ASSERT_EQ(SendMessageA(documents, LB_GETCOUNT, 0, 0), 3);
  // Each log line is one line, cut at the edge.
  for (int k = 0; k < dialog::kVisibleLogLines; ++k) {
    const HWND line = GetDlgItem(dialogWindow, dialog::kFirstLogLineId + k);
    EXPECT_EQ(GetWindowLongA(line, GWL_STYLE) & SS_TYPEMASK, SS_LEFTNOWORDWRAP) << k;
  }

  // A letter selects the next document it starts, alone; Ctrl+A all of them.
  PostMessageA(documents, WM_CHAR, 'd', 0);
  EXPECT_TRUE(WaitFor<bool>([&] {
    return SendMessageA(documents, LB_GETSELCOUNT, 0, 0) == 1 &&
           SendMessageA(documents, LB_GETSEL, 1, 0) > 0;
  }));
  PostMessageA(documents, WM_CHAR, 'D', 0);
  EXPECT_TRUE(WaitFor<bool>([&] {
    return SendMessageA(documents, LB_GETSELCOUNT, 0, 0) == 1 &&
           SendMessageA(documents, LB_GETSEL, 2, 0) > 0;
  }));
  PostMessageA(documents, WM_CHAR, 1, 0);  // Ctrl+A
  EXPECT_TRUE(WaitFor<bool>([&] { return SendMessageA(documents, LB_GETSELCOUNT, 0, 0) == 3; }));

  // Convert, then the close box while the first page converts.
  PostMessageA(dialogWindow, WM_COMMAND, MAKEWPARAM(dialog::kConvertButtonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialogWindow, dialog::kConvertButtonId)));
  PostMessageA(dialogWindow, WM_CLOSE, 0, 0);
  const std::vector<std::string> stopped{dialog::StoppedAtLine("D1.QRV", "D1.TXT", "page 1")};
  EXPECT_TRUE(WaitFor<bool>([&] { return LogLines(dialogWindow) == stopped; }))
      << ::testing::PrintToString(LogLines(dialogWindow));
  EXPECT_TRUE(IsWindow(dialogWindow));
  for (const char* name : {"D1.TXT", "D2.TXT", "D3.TXT"}) {
    EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
  }

  // With no batch running, the close box closes.
  PostMessageA(dialogWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(exqrv.Wait(), 0);
}

// The resolution the programs started while it lives are told the display
// has; the one before comes back after.
class DisplayDpiScope {
 public:
  explicit DisplayDpiScope(DWORD dpi) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof previous_;
    hadOne_ = RegQueryValueExA(key_, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&previous_),
                               &size) == ERROR_SUCCESS;
    set_ = RegSetValueExA(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                          sizeof dpi) == ERROR_SUCCESS;
  }
  ~DisplayDpiScope() {
    if (key_ == nullptr) return;
    if (hadOne_) {
      RegSetValueExA(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_),
                     sizeof previous_);
    } else {
      RegDeleteValueA(key_, kValue);
    }
    RegCloseKey(key_);
  }
  DisplayDpiScope(const DisplayDpiScope&) = delete;
  DisplayDpiScope& operator=(const DisplayDpiScope&) = delete;
  bool Set() const { return set_; }

 private:
  static constexpr char kValue[] = "LogPixels";
  HKEY key_ = nullptr;
  DWORD previous_ = 0;
  bool hadOne_ = false;
  bool set_ = false;
};

TEST(Win32Dialog, NamesOutsideTheAnsiCodePageConvert) {
  build::ScratchDir folder;
  const std::filesystem::path document =
      std::filesystem::path(folder.path()) / L"\u03A9caf\u00E9.QRV";
  {
    std::ofstream out(document, std::ios::binary);
    out << build::BuildDocument({.pages = {TextPage({"coffee"})}});
  }
  Exqrv exqrv(folder.path());
  ASSERT_TRUE(exqrv.Started());
  const HWND dialogWindow = exqrv.WaitForDialog();
  ASSERT_NE(dialogWindow, nullptr) << exqrv.Errors();
  const HWND documents = GetDlgItem(dialogWindow, dialog::kDocumentFileListId);
  const HWND texts = GetDlgItem(dialogWindow, dialog::kTextFileListId);
  ASSERT_EQ(SendMessageA(documents, LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(ListItemText(documents, 0), L"\u03A9caf\u00E9.QRV");

  SendMessageA(documents, LB_SETSEL, TRUE, 0);
  PostMessageA(dialogWindow, WM_COMMAND, MAKEWPARAM(dialog::kConvertButtonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialogWindow, dialog::kConvertButtonId)));
  const HWND firstLine = GetDlgItem(dialogWindow, dialog::kFirstLogLineId);
  const std::wstring expected = L"Convert \u03A9caf\u00E9.QRV to \u03A9caf\u00E9.TXT succeeded";
  EXPECT_TRUE(WaitFor<bool>([&] { return WideTextOf(firstLine) == expected; }))
      << LogLines(dialogWindow).size() << exqrv.Errors();
  EXPECT_EQ(ListItemText(texts, 0), L"\u03A9caf\u00E9.TXT");
  std::ifstream written(std::filesystem::path(folder.path()) / L"\u03A9caf\u00E9.TXT",
                        std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "coffee");
  EXPECT_TRUE(SaveShot(ShotOf(dialogWindow), "win32_names.bmp"));

  PostMessageA(dialogWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(exqrv.Wait(), 0);
}

// At 192 dots per inch the text doubles, and the pictures beside it too.
TEST(Win32Dialog, PicturesGrowWithTheTextOnAFinerDisplay) {
  build::ScratchDir folder;
  std::filesystem::create_directories(folder / "SUB");
  ASSERT_TRUE(build::WriteFileBytes(folder / "BOOK.QRV",
                                    build::BuildDocument({.pages = {TextPage({"book"})}})));
  const DisplayDpiScope dpi(192);
  ASSERT_TRUE(dpi.Set());
  Exqrv exqrv(folder.path());
  ASSERT_TRUE(exqrv.Started());
  const HWND dialogWindow = exqrv.WaitForDialog();
  ASSERT_NE(dialogWindow, nullptr) << exqrv.Errors();
  const HWND documents = GetDlgItem(dialogWindow, dialog::kDocumentFileListId);
  ASSERT_EQ(SendMessageA(documents, LB_GETCOUNT, 0, 0), 2);
  const int itemHeight = static_cast<int>(SendMessageA(documents, LB_GETITEMHEIGHT, 0, 0));
  EXPECT_GE(itemHeight, 2 * dialog::kPictureSize);

  // The inked part of the first item's picture (SUB's folder), in the
  // column left of where the name starts.
  RECT list;
  GetClientRect(documents, &list);
  MapWindowPoints(documents, dialogWindow, reinterpret_cast<POINT*>(&list), 2);
  const Shot shot = ShotOf(dialogWindow);
  ASSERT_GE(shot.height, list.top + itemHeight);
  ASSERT_GE(shot.width, list.right);
  const DWORD ground = shot.At(list.right - 1, list.top + itemHeight / 2);
  RECT inked{list.right, list.bottom, -1, -1};
  for (int y = list.top; y < list.top + itemHeight; ++y) {
    for (int x = list.left; x < list.left + 2 * dialog::kNameOffset; ++x) {
      if (shot.At(x, y) == ground) continue;
      inked = {std::min<LONG>(inked.left, x), std::min<LONG>(inked.top, y),
               std::max<LONG>(inked.right, x + 1), std::max<LONG>(inked.bottom, y + 1)};
    }
  }
  EXPECT_GT(inked.right - inked.left, dialog::kPictureSize);
  EXPECT_LE(inked.right - inked.left, 2 * dialog::kPictureSize);
  EXPECT_GT(inked.bottom - inked.top, dialog::kPictureSize);
  EXPECT_TRUE(SaveShot(shot, "win32_dialog_192dpi.bmp"));

  PostMessageA(dialogWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(exqrv.Wait(), 0);
}

}  // namespace
}  // namespace exqrv::win32ui
