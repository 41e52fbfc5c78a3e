// The dialog's window procedure routes each message to the operation the
// shared rules define; painting an item follows the shared painting rules.
#include "win32_dialog/win32_main_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "dialog/batch_conversion.h"
#include "dialog/dialog_log.h"
#include "dialog/entry_painting.h"
#include "dialog/selector_rules.h"
#include "platform/prompter.h"
#include "win32_dialog/message_box_prompter.h"

namespace exqrv::win32ui {
namespace {

using ui::ItemKind;
using ui::PaintAction;

// Shows the wait cursor while it lives.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// A GDI object deleted with its owner.
template <typename Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle) : handle_(handle) {}
  ~GdiObject() {
    if (handle_ != nullptr) DeleteObject(handle_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  Handle get() const { return handle_; }

 private:
  Handle handle_;
};

HICON LoadApplicationIcon(int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr),
                                       MAKEINTRESOURCEA(kApplicationIconResource), IMAGE_ICON,
                                       GetSystemMetrics(widthMetric),
                                       GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

// Combined with the ground by AND: the picture's white pixels leave it as it
// is. Each paint makes its picture and lets it go when done.
void DrawPicture(HDC dc, int picture, POINT at) {
  const ui::PixelPicture pixels = ui::EntryPicturePixels(picture);
  if (pixels.empty()) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = -pixels.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const GdiObject<HBITMAP> bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bitmap.get() == nullptr) return;
  // 0xAARRGGBB in memory is the B, G, R, A order of a 32-bit DIB.
  std::memcpy(bits, pixels.pixels.data(), pixels.pixels.size() * sizeof pixels.pixels[0]);
  const HDC memory = CreateCompatibleDC(dc);
  const HGDIOBJ previous = SelectObject(memory, bitmap.get());
  BitBlt(dc, at.x, at.y, pixels.width, pixels.height, memory, 0, 0, SRCAND);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

// The name's top-left corner is at (left of the text part, top of the item).
void DrawName(HDC dc, const RECT& textPart, int itemTop, const std::string& name) {
  TextOutA(dc, textPart.left, itemTop, name.c_str(), static_cast<int>(name.size()));
}

PaintAction ActionOf(UINT itemAction) {
  if (itemAction & ODA_DRAWENTIRE) return PaintAction::DrawEntire;
  if (itemAction & ODA_SELECT) return PaintAction::SelectionChange;
  return PaintAction::FocusChange;
}

void PaintEntryItem(const DRAWITEMSTRUCT& item, const EntryList& entries, ItemKind kind) {
  const ListEntry* entry = ui::EntryAt(entries, static_cast<int>(item.itemID));
  if (entry == nullptr) return;
  const HDC dc = item.hDC;
  const PaintAction action = ActionOf(item.itemAction);
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const bool inSelectionField = (item.itemState & ODS_COMBOBOXEDIT) != 0;
  const GdiObject<HBRUSH> selectionGround(CreateSolidBrush(GetSysColor(COLOR_ACTIVECAPTION)));
  const GdiObject<HBRUSH> plainGround(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));

  const RECT& whole = item.rcItem;
  const int indent = ui::ItemIndent(kind, *entry, inSelectionField);
  RECT textPart = whole;
  textPart.left += indent + ui::kNameOffset;
  const POINT pictureAt{whole.left + indent,
                        whole.top + ui::PictureOffset(whole.bottom - whole.top)};
  const bool entire = action == PaintAction::DrawEntire;
  const bool selectionPaint = action == PaintAction::SelectionChange;

  if (entire) {
    DrawName(dc, textPart, whole.top, entry->Name);
    DrawPicture(dc, entry->Picture, pictureAt);
  }
  if (selected && (entire || selectionPaint)) {
    FillRect(dc, &textPart, selectionGround.get());
    const COLORREF text = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    const COLORREF ground = SetBkColor(dc, GetSysColor(COLOR_ACTIVECAPTION));
    DrawName(dc, textPart, whole.top, entry->Name);
    SetTextColor(dc, text);
    SetBkColor(dc, ground);
    DrawPicture(dc, entry->Picture, pictureAt);
  }
  if (ui::FocusRuleHolds(kind, action, focused, selected, inSelectionField)) {
    DrawFocusRect(dc, &textPart);
  } else {
    FrameRect(dc, &textPart, selected ? selectionGround.get() : plainGround.get());
  }
  if (!selected && selectionPaint) {
    FillRect(dc, &textPart, plainGround.get());
    DrawName(dc, textPart, whole.top, entry->Name);
    DrawPicture(dc, entry->Picture, pictureAt);
  }
}

// Both kinds of owner-drawn control: a line of the dialog's font, never less
// than a picture. It is asked for while the controls are made, before the
// dialog knows its object.
void MeasureItem(HWND dialog, MEASUREITEMSTRUCT& item) {
  const HDC dc = GetDC(dialog);
  const HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(dialog, dc);
  item.itemHeight = static_cast<UINT>(ui::EntryItemHeight(metrics.tmHeight));
}

class MainDialog {
 public:
  explicit MainDialog(ConverterApp& app)
      : app_(app),
        largeIcon_(LoadApplicationIcon(SM_CXICON, SM_CYICON)),
        smallIcon_(LoadApplicationIcon(SM_CXSMICON, SM_CYSMICON)),
        batch_(app, ui::BatchHooks{
                        [&app](const std::string& document, const std::string& text) {
                          return app.ConvertFile(document, text);
                        },
                        [this] { return Names(app_.TextFileList); },
                        [this](const std::string& line) {
                          AddLogLine(line);
                          // A batch holds the one thread: what it has done
                          // so far is painted at once.
                          UpdateWindow(window_);
                        },
                        [this] {
                          RefillFileList(TextSide);
                          UpdateWindow(Control(ui::kTextFileListId));
                        },
                    }) {}
  ~MainDialog() {
    if (largeIcon_ != nullptr) DestroyIcon(largeIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
  }
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  int Run();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);

  void Initialise();
  void AddToolTips();
  bool PaintMinimised();

  void OnConvert();
  void OnDocumentDoubleClick();
  void OnTextDoubleClick();

  void AddLogLine(const std::string& line);
  void SyncScrollBar();
  void ShowLogLines();
  void OnLogScroll(int code, int thumbPosition);

  void RefreshFileList(Side side);
  void RefillFileList(Side side);
  void ShowNames(int id, const EntryList& entries, size_t count);

  void FillDirectoryCombo(Side side);
  void OnDirectoryChosen(Side side);
  void ChangeDirectory(Side side, const std::string& path);
  void GoUp(Side side);

  HWND Control(int id) const { return GetDlgItem(window_, id); }
  std::string& DirectoryOf(Side side) {
    return side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory;
  }
  const EntryList* EntriesOf(int id) const;
  static std::vector<std::string> Names(const EntryList& entries);

  ConverterApp& app_;
  HICON largeIcon_;
  HICON smallIcon_;
  HWND window_ = nullptr;
  HWND toolTip_ = nullptr;
  bool closed_ = false;
  ui::DialogLog log_;
  ui::BatchConversion batch_;
};

// A modal loop of our own, so that every message passes the tooltip control
// before it is dispatched.
int MainDialog::Run() {
  const std::vector<DWORD> dialogTemplate = BuildDialogTemplate();
  window_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                       reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()),
                                       nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) {
    // Under Wine without a display, for one.
    std::fprintf(stderr, "exqrv: the dialog cannot be shown on this desktop\nusage: %s\n", kUsage);
    return kExitUsage;
  }
  MessageBoxPrompter prompter(window_);
  const platform::PrompterScope scope(&prompter);
  ShowWindow(window_, SW_SHOW);
  MSG message;
  while (!closed_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (toolTip_ != nullptr) SendMessageA(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
    if (IsDialogMessageA(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  DestroyWindow(window_);
  window_ = nullptr;
  return kExitSuccess;
}

INT_PTR CALLBACK MainDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MEASUREITEM) {
    MeasureItem(window, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    return TRUE;
  }
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<MainDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->window_ = window;
    dialog->Initialise();
    return TRUE;  // the focus goes to the first tab stop, "Exit"
  }
  auto* dialog = reinterpret_cast<MainDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  return dialog != nullptr ? dialog->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const EntryList* entries = EntriesOf(static_cast<int>(item.CtlID));
      if (entries == nullptr) return FALSE;
      PaintEntryItem(item, *entries,
                     item.CtlType == ODT_COMBOBOX ? ItemKind::Selector : ItemKind::FileList);
      return TRUE;
    }
    case WM_VSCROLL:
      if (reinterpret_cast<HWND>(lParam) == Control(ui::kLogScrollBarId)) {
        OnLogScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      }
      return FALSE;  // then the default handling
    case WM_CLOSE: closed_ = true; return TRUE;
    case WM_PAINT: return PaintMinimised() ? TRUE : FALSE;
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(largeIcon_);
    case WM_DESTROY:
      if (toolTip_ != nullptr) DestroyWindow(toolTip_);
      toolTip_ = nullptr;
      return FALSE;
    default: return FALSE;
  }
}

void MainDialog::OnCommand(int id, int code) {
  switch (id) {
    // "Exit", Enter (Exit is the default button) and Escape.
    case IDOK:
    case IDCANCEL: closed_ = true; break;
    case ui::kConvertButtonId:
      if (code == BN_CLICKED) OnConvert();
      break;
    case ui::kDocumentUpButtonId:
      if (code == BN_CLICKED) GoUp(DocumentSide);
      break;
    case ui::kTextUpButtonId:
      if (code == BN_CLICKED) GoUp(TextSide);
      break;
    case ui::kDocumentSelectorId:
      if (code == CBN_SELCHANGE) OnDirectoryChosen(DocumentSide);
      break;
    case ui::kTextSelectorId:
      if (code == CBN_SELCHANGE) OnDirectoryChosen(TextSide);
      break;
    case ui::kDocumentFileListId:
      if (code == LBN_DBLCLK) OnDocumentDoubleClick();
      break;
    case ui::kTextFileListId:
      if (code == LBN_DBLCLK) OnTextDoubleClick();
      break;
    default: break;
  }
}

void MainDialog::Initialise() {
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  FillDirectoryCombo(DocumentSide);
  FillDirectoryCombo(TextSide);
  RefreshFileList(DocumentSide);
  RefreshFileList(TextSide);
  AddToolTips();
}

// Without a tooltip control the dialog works on without tooltips.
void MainDialog::AddToolTips() {
  if (toolTip_ != nullptr) return;
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  toolTip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  if (toolTip_ == nullptr) return;
  for (const ui::ControlTemplate& control : ui::DialogControls()) {
    if (control.toolTip.empty()) continue;
    std::string text(control.toolTip);
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;  // understood by every version of the control
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(control.id));
    tool.lpszText = text.data();
    SendMessageA(toolTip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SendMessageA(toolTip_, TTM_ACTIVATE, TRUE, 0);
}

// Minimised, the dialog shows its icon centred.
bool MainDialog::PaintMinimised() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window_, &paint);
  SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, largeIcon_);
  EndPaint(window_, &paint);
  return true;
}

const EntryList* MainDialog::EntriesOf(int id) const {
  switch (id) {
    case ui::kDocumentFileListId: return &app_.DocumentFileList;
    case ui::kTextFileListId: return &app_.TextFileList;
    case ui::kDocumentSelectorId: return &app_.DocumentDirectoryList;
    case ui::kTextSelectorId: return &app_.TextDirectoryList;
    default: return nullptr;
  }
}

std::vector<std::string> MainDialog::Names(const EntryList& entries) {
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (const auto& entry : entries) names.push_back(entry->Name);
  return names;
}

// Conversion. Names are taken from the entries the items show, never read
// back from a control.

void MainDialog::OnConvert() {
  const HWND list = Control(ui::kDocumentFileListId);
  const LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return;
  std::vector<int> indexes(static_cast<size_t>(count));
  const LRESULT got = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                   reinterpret_cast<LPARAM>(indexes.data()));
  indexes.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
  std::vector<std::string> names;
  for (const int index : indexes) {
    if (const ListEntry* entry = ui::EntryAt(app_.DocumentFileList, index)) {
      names.push_back(entry->Name);
    }
  }
  if (names.empty()) return;
  const WaitCursor wait;
  batch_.ConvertSelection(names);
}

void MainDialog::OnDocumentDoubleClick() {
  const int caret =
      static_cast<int>(SendMessageA(Control(ui::kDocumentFileListId), LB_GETCARETINDEX, 0, 0));
  const ListEntry* entry = ui::EntryAt(app_.DocumentFileList, caret);
  if (entry == nullptr) return;
  const std::string name = entry->Name;
  if (const auto folder = ui::FolderOpenedBy(app_.SourceDirectory, name)) {
    ChangeDirectory(DocumentSide, *folder);
    return;
  }
  const WaitCursor wait;
  batch_.ConvertItem(name, TextFileNameFor(name));
}

void MainDialog::OnTextDoubleClick() {
  const int selected =
      static_cast<int>(SendMessageA(Control(ui::kTextFileListId), LB_GETCURSEL, 0, 0));
  const ListEntry* entry = ui::EntryAt(app_.TextFileList, selected);
  if (entry == nullptr) return;
  // A text file is not opened; only a folder is entered.
  if (const auto folder = ui::FolderOpenedBy(app_.TargetDirectory, entry->Name)) {
    ChangeDirectory(TextSide, *folder);
  }
}

// The log.

void MainDialog::AddLogLine(const std::string& line) {
  log_.AddLogLine(line);
  SyncScrollBar();
  ShowLogLines();
}

void MainDialog::SyncScrollBar() {
  const ui::LogScrollState& bar = log_.ScrollBar();
  if (!bar.visible) return;
  const HWND scrollBar = Control(ui::kLogScrollBarId);
  if (!IsWindowVisible(scrollBar)) {
    SetScrollRange(scrollBar, SB_CTL, bar.minimum, bar.maximum, FALSE);
    ShowWindow(scrollBar, SW_SHOW);
    EnableScrollBar(scrollBar, SB_CTL, ESB_ENABLE_BOTH);
  }
  SetScrollPos(scrollBar, SB_CTL, bar.position, TRUE);
}

void MainDialog::ShowLogLines() {
  for (int k = 0; k < ui::kVisibleLogLines; ++k) {
    SetDlgItemTextA(window_, ui::kFirstLogLineId + k, log_.VisibleLine(k).c_str());
  }
}

void MainDialog::OnLogScroll(int code, int thumbPosition) {
  if (code < SB_LINEUP || code > SB_ENDSCROLL) return;
  // The scroll codes are the system's, in the system's order.
  if (!log_.OnLogScroll(static_cast<ui::ScrollCode>(code), thumbPosition)) return;
  SyncScrollBar();
  ShowLogLines();
}

// File lists: item i shows entry i.

void MainDialog::ShowNames(int id, const EntryList& entries, size_t count) {
  const HWND control = Control(id);
  const bool selector = id == ui::kDocumentSelectorId || id == ui::kTextSelectorId;
  SendMessageA(control, selector ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  for (size_t i = 0; i < count && i < entries.size(); ++i) {
    SendMessageA(control, selector ? CB_ADDSTRING : LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(entries[i]->Name.c_str()));
  }
}

void MainDialog::RefreshFileList(Side side) {
  const int count = app_.ScanDirectory(side);
  const bool document = side == DocumentSide;
  ShowNames(document ? ui::kDocumentFileListId : ui::kTextFileListId,
            document ? app_.DocumentFileList : app_.TextFileList,
            static_cast<size_t>(std::max(count, 0)));
}

void MainDialog::RefillFileList(Side side) {
  const EntryList& entries = side == DocumentSide ? app_.DocumentFileList : app_.TextFileList;
  ShowNames(side == DocumentSide ? ui::kDocumentFileListId : ui::kTextFileListId, entries,
            entries.size());
}

// Selectors.

void MainDialog::FillDirectoryCombo(Side side) {
  app_.BuildDirectoryList(side);
  const bool document = side == DocumentSide;
  const int id = document ? ui::kDocumentSelectorId : ui::kTextSelectorId;
  const EntryList& entries = document ? app_.DocumentDirectoryList : app_.TextDirectoryList;
  ShowNames(id, entries, entries.size());
  const int selection = ui::DirectorySelection(entries, Names(entries), DirectoryOf(side));
  SendMessageA(Control(id), CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

void MainDialog::OnDirectoryChosen(Side side) {
  const bool document = side == DocumentSide;
  const int id = document ? ui::kDocumentSelectorId : ui::kTextSelectorId;
  const EntryList& entries = document ? app_.DocumentDirectoryList : app_.TextDirectoryList;
  const int chosen = static_cast<int>(SendMessageA(Control(id), CB_GETCURSEL, 0, 0));
  const std::optional<std::string> path = ui::ChosenDirectory(Names(entries), chosen, DirectoryOf(side));
  if (path) ChangeDirectory(side, *path);
}

void MainDialog::ChangeDirectory(Side side, const std::string& path) {
  DirectoryOf(side) = path;
  FillDirectoryCombo(side);
  RefreshFileList(side);
}

void MainDialog::GoUp(Side side) {
  const std::optional<std::string> parent = ui::ParentDirectory(DirectoryOf(side));
  if (parent) ChangeDirectory(side, *parent);
}

}  // namespace

int RunMainDialog(ConverterApp& app) {
  MainDialog dialog(app);
  return dialog.Run();
}

}  // namespace exqrv::win32ui
