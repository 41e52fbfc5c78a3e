// The dialog's window procedure routes each message to the shared controller;
// painting an item takes the shared painting steps.
#include "win32_dialog/win32_main_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialog/dialog_controller.h"
#include "dialog/entry_painting.h"
#include "platform/prompter.h"
#include "win32_dialog/message_box_prompter.h"

namespace exqrv::win32ui {
namespace {

using dialog::Ground;
using dialog::ItemKind;
using dialog::PaintAction;

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
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kApplicationIconResource), IMAGE_ICON,
                 GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

// The dialog's lengths in pixels were drawn for 96 dots per inch; a finer
// display (the program says it is aware of them) enlarges its font, and the
// pictures and the room around them grow with it.
constexpr int kDrawnDpi = 96;

int DisplayDpi(HDC dc) { return GetDeviceCaps(dc, LOGPIXELSY); }

int Scaled(int pixels, int dpi) { return MulDiv(pixels, dpi, kDrawnDpi); }

// Combined with the ground by AND: the picture's white pixels leave it as it
// is. Each pixel becomes a square of size / 16 pixels on a finer display.
// Each paint makes its picture and lets it go when done.
void DrawPicture(HDC dc, int picture, POINT at, int size) {
  const dialog::PixelPicture pixels = dialog::EntryPicturePixels(picture);
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
  const int previousMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, at.x, at.y, size, size, memory, 0, 0, pixels.width, pixels.height, SRCAND);
  SetStretchBltMode(dc, previousMode);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

std::wstring WideName(const std::string& name) {
  const int length = static_cast<int>(name.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, name.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(size, 0)), L'\0');
  if (size > 0) MultiByteToWideChar(CP_ACP, 0, name.data(), length, wide.data(), size);
  return wide;
}

PaintAction ActionOf(UINT itemAction) {
  if (itemAction & ODA_DRAWENTIRE) return PaintAction::DrawEntire;
  if (itemAction & ODA_SELECT) return PaintAction::SelectionChange;
  return PaintAction::FocusChange;
}

// One owner-drawn item's drawing operations, for the shared painting steps.
class ItemPainter : public dialog::ItemCanvas {
 public:
  ItemPainter(HDC dc, const RECT& textPart, int itemTop, const ListEntry& entry, POINT pictureAt,
              int pictureSize)
      : dc_(dc),
        textPart_(textPart),
        itemTop_(itemTop),
        entry_(entry),
        pictureAt_(pictureAt),
        pictureSize_(pictureSize) {}

  // The name's top-left corner is at (left of the text part, top of the
  // item); the plain colours are the ones the control set.
  void DrawName(Ground ground) override {
    if (ground == Ground::Plain) {
      TextOutName();
      return;
    }
    const COLORREF text = SetTextColor(dc_, GetSysColor(COLOR_HIGHLIGHTTEXT));
    const COLORREF back = SetBkColor(dc_, GetSysColor(COLOR_ACTIVECAPTION));
    TextOutName();
    SetTextColor(dc_, text);
    SetBkColor(dc_, back);
  }
  void DrawPicture() override {
    win32ui::DrawPicture(dc_, entry_.Picture, pictureAt_, pictureSize_);
  }
  void FillTextPart(Ground ground) override { FillRect(dc_, &textPart_, Brush(ground)); }
  void FrameTextPart(Ground ground) override { FrameRect(dc_, &textPart_, Brush(ground)); }
  void DrawFocusFrame() override { DrawFocusRect(dc_, &textPart_); }

 private:
  // Names are in the process's code page. The narrow TextOut would read
  // them in the code page of the font's character set instead.
  void TextOutName() {
    const std::wstring name = WideName(entry_.Name);
    TextOutW(dc_, textPart_.left, itemTop_, name.c_str(), static_cast<int>(name.size()));
  }
  HBRUSH Brush(Ground ground) const {
    return ground == Ground::Selection ? selectionGround_.get() : plainGround_.get();
  }

  HDC dc_;
  RECT textPart_;
  int itemTop_;
  const ListEntry& entry_;
  POINT pictureAt_;
  int pictureSize_;
  GdiObject<HBRUSH> selectionGround_{CreateSolidBrush(GetSysColor(COLOR_ACTIVECAPTION))};
  GdiObject<HBRUSH> plainGround_{CreateSolidBrush(GetSysColor(COLOR_WINDOW))};
};

void PaintEntryItem(const DRAWITEMSTRUCT& item, const EntryList& entries, ItemKind kind) {
  const ListEntry* entry = dialog::EntryAt(entries, static_cast<int>(item.itemID));
  if (entry == nullptr) return;
  dialog::ItemState state;
  state.action = ActionOf(item.itemAction);
  state.selected = (item.itemState & ODS_SELECTED) != 0;
  state.focused = (item.itemState & ODS_FOCUS) != 0;
  state.inSelectionField = (item.itemState & ODS_COMBOBOXEDIT) != 0;

  const RECT& whole = item.rcItem;
  const int dpi = DisplayDpi(item.hDC);
  const int pictureSize = Scaled(dialog::kPictureSize, dpi);
  const int indent = Scaled(dialog::ItemIndent(kind, *entry, state.inSelectionField), dpi);
  RECT textPart = whole;
  textPart.left += indent + Scaled(dialog::kNameOffset, dpi);
  const POINT pictureAt{whole.left + indent,
                        whole.top + dialog::PictureOffset(whole.bottom - whole.top, pictureSize)};
  ItemPainter painter(item.hDC, textPart, whole.top, *entry, pictureAt, pictureSize);
  dialog::PaintItem(painter, kind, state);
}

// Both kinds of owner-drawn control: a line of the dialog's font, never less
// than a picture. It is asked for while the controls are made, before the
// dialog knows its object.
void MeasureItem(HWND window, MEASUREITEMSTRUCT& item) {
  const HDC dc = GetDC(window);
  const HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  const int pictureSize = Scaled(dialog::kPictureSize, DisplayDpi(dc));
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  item.itemHeight = static_cast<UINT>(dialog::EntryItemHeight(metrics.tmHeight, pictureSize));
}

// Input that a running batch sets aside: it would start another batch, or
// change a directory under it. Escape stops the batch; the close box and the
// window manager's messages are not input of the dialog's client area.
bool IsHeldInput(const MSG& message) {
  if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) return true;
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  return message.wParam != VK_ESCAPE;
}

// Ctrl+A selects every document. A letter selects the next document whose
// name starts with it, and only that one: the list box's own search would
// extend the selection from its anchor. True when the key was taken.
bool TypeInDocumentList(HWND list, unsigned character) {
  constexpr unsigned kCtrlA = 1;
  if (character == kCtrlA) {
    SendMessageA(list, LB_SETSEL, TRUE, -1);
    return true;
  }
  if (character < ' ' || character > 0xFF) return false;
  const char prefix[2] = {static_cast<char>(character), '\0'};
  const LRESULT caret = SendMessageA(list, LB_GETCARETINDEX, 0, 0);
  const LRESULT found = SendMessageA(list, LB_FINDSTRING, static_cast<WPARAM>(caret),
                                     reinterpret_cast<LPARAM>(prefix));
  if (found == LB_ERR) return true;
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  SendMessageA(list, LB_SETSEL, TRUE, found);
  SendMessageA(list, LB_SETANCHORINDEX, static_cast<WPARAM>(found), 0);
  SendMessageA(list, LB_SETCARETINDEX, static_cast<WPARAM>(found), FALSE);
  return true;
}

// The Win32 view of the shared controller: it routes the dialog's messages
// to the controller and paints.
class MainDialog : private dialog::DialogView {
 public:
  explicit MainDialog(ConverterApp& app)
      : app_(app),
        largeIcon_(LoadApplicationIcon(SM_CXICON, SM_CYICON)),
        smallIcon_(LoadApplicationIcon(SM_CXSMICON, SM_CYSMICON)),
        controller_(app, *this) {}
  ~MainDialog() override {
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
  void OnLogScroll(int code, int thumbPosition);

  void Initialise();
  void AddToolTips();
  bool PaintMinimised();

  // The view.
  void ShowFileList(Side side, size_t count) override;
  void InsertFileListItem(Side side, int index) override;
  void ScrollFileListToTop(Side side) override;
  std::vector<int> SelectedItems(Side side) const override;
  int CaretItem(Side side) const override;
  void ShowSelector(Side side, int selection) override;
  int ChosenSelectorItem(Side side) const override;
  void ShowLogLine(int field, const std::string& text) override;
  void ShowLogScrollBar(const dialog::LogScrollState& bar) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  // During a batch the log and the new items of the lists wait for the
  // window's turn: a static control paints itself the moment its text
  // changes, and a list box its scroll bar the moment an item comes.
  bool HoldingBack() const { return controller_.BatchRunning(); }
  void ShowHeldBack();
  void SetLogLine(int field, const std::string& text);
  void SetLogScrollBar(const dialog::LogScrollState& bar);
  void ProcessEvents() override;
  // Escape, the "Exit" button, Enter and the close box: a running batch
  // stops, else the dialog closes.
  void Close();

  HWND Control(int id) const { return GetDlgItem(window_, id); }
  static int FileListId(Side side) {
    return side == DocumentSide ? dialog::kDocumentFileListId : dialog::kTextFileListId;
  }
  static int SelectorId(Side side) {
    return side == DocumentSide ? dialog::kDocumentSelectorId : dialog::kTextSelectorId;
  }
  const EntryList* EntriesOf(int id) const;
  // Item i of the control shows entry i.
  void ShowNames(int id, const EntryList& entries, size_t count);

  ConverterApp& app_;
  HICON largeIcon_;
  HICON smallIcon_;
  HWND window_ = nullptr;
  HWND toolTip_ = nullptr;
  HCURSOR cursorBeforeWait_ = nullptr;
  bool closed_ = false;
  std::array<std::optional<std::string>, dialog::kVisibleLogLines> heldLogLines_;
  std::optional<dialog::LogScrollState> heldScrollBar_;
  std::array<bool, 2> listsHeld_{};  // by side
  dialog::DialogController controller_;
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
    if (toolTip_ != nullptr)
      SendMessageA(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
    if (message.hwnd == Control(dialog::kDocumentFileListId) && message.message == WM_CHAR &&
        TypeInDocumentList(message.hwnd, static_cast<unsigned>(message.wParam))) {
      continue;
    }
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
      if (reinterpret_cast<HWND>(lParam) == Control(dialog::kLogScrollBarId)) {
        OnLogScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      }
      return FALSE;  // then the default handling
    case WM_CLOSE: Close(); return TRUE;
    case WM_SETCURSOR:
      if (!controller_.BatchRunning()) return FALSE;
      // The wait cursor holds over the whole dialog while a batch runs.
      SetCursor(LoadCursor(nullptr, IDC_WAIT));
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
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
    case IDCANCEL: Close(); break;
    case dialog::kConvertButtonId:
      if (code == BN_CLICKED) controller_.OnConvert();
      break;
    case dialog::kDocumentUpButtonId:
      if (code == BN_CLICKED) controller_.GoUp(DocumentSide);
      break;
    case dialog::kTextUpButtonId:
      if (code == BN_CLICKED) controller_.GoUp(TextSide);
      break;
    case dialog::kDocumentSelectorId:
      if (code == CBN_SELCHANGE) controller_.OnDirectoryChosen(DocumentSide);
      break;
    case dialog::kTextSelectorId:
      if (code == CBN_SELCHANGE) controller_.OnDirectoryChosen(TextSide);
      break;
    case dialog::kDocumentFileListId:
      if (code == LBN_DBLCLK) controller_.OnDocumentDoubleClick();
      break;
    case dialog::kTextFileListId:
      if (code == LBN_DBLCLK) controller_.OnTextDoubleClick();
      break;
    default: break;
  }
}

void MainDialog::Close() {
  if (!controller_.StopBatch()) closed_ = true;
}

void MainDialog::OnLogScroll(int code, int thumbPosition) {
  if (code < SB_LINEUP || code > SB_ENDSCROLL) return;
  // The scroll codes are the system's, in the system's order.
  controller_.OnLogScroll(static_cast<dialog::ScrollCode>(code), thumbPosition);
}

void MainDialog::Initialise() {
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  controller_.Initialise();
  AddToolTips();
}

// Without a tooltip control the dialog works on without tooltips.
void MainDialog::AddToolTips() {
  if (toolTip_ != nullptr) return;
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  toolTip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  if (toolTip_ == nullptr) return;
  for (const dialog::ControlTemplate& control : dialog::DialogControls()) {
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
    case dialog::kDocumentFileListId: return &app_.DocumentFileList;
    case dialog::kTextFileListId: return &app_.TextFileList;
    case dialog::kDocumentSelectorId: return &app_.DocumentDirectoryList;
    case dialog::kTextSelectorId: return &app_.TextDirectoryList;
    default: return nullptr;
  }
}

// The view.

void MainDialog::ShowNames(int id, const EntryList& entries, size_t count) {
  const HWND control = Control(id);
  const bool selector = id == dialog::kDocumentSelectorId || id == dialog::kTextSelectorId;
  const size_t shown = std::min(count, entries.size());
  // Painted once when all are in, not once per item.
  SendMessageA(control, WM_SETREDRAW, FALSE, 0);
  SendMessageA(control, selector ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  if (!selector) SendMessageA(control, LB_INITSTORAGE, shown, 0);
  for (size_t i = 0; i < shown; ++i) {
    SendMessageA(control, selector ? CB_ADDSTRING : LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(entries[i]->Name.c_str()));
  }
  SendMessageA(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
}

void MainDialog::ShowFileList(Side side, size_t count) {
  ShowNames(FileListId(side), *EntriesOf(FileListId(side)), count);
}

void MainDialog::InsertFileListItem(Side side, int index) {
  const EntryList& entries = *EntriesOf(FileListId(side));
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) return;
  if (HoldingBack() && !std::exchange(listsHeld_[static_cast<size_t>(side)], true)) {
    SendMessageA(Control(FileListId(side)), WM_SETREDRAW, FALSE, 0);
  }
  SendMessageA(Control(FileListId(side)), LB_INSERTSTRING, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(entries[static_cast<size_t>(index)]->Name.c_str()));
}

// Emptying a list box already brought its first item to the top.
void MainDialog::ScrollFileListToTop(Side) {}

// The document list takes several items, the text list one.
std::vector<int> MainDialog::SelectedItems(Side side) const {
  const HWND list = Control(FileListId(side));
  if (side == TextSide) {
    const int selected = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    if (selected < 0) return {};
    return {selected};
  }
  const LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return {};
  std::vector<int> indexes(static_cast<size_t>(count));
  const LRESULT got = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                   reinterpret_cast<LPARAM>(indexes.data()));
  indexes.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
  return indexes;
}

int MainDialog::CaretItem(Side side) const {
  return static_cast<int>(SendMessageA(Control(FileListId(side)), LB_GETCARETINDEX, 0, 0));
}

void MainDialog::ShowSelector(Side side, int selection) {
  const EntryList& entries = *EntriesOf(SelectorId(side));
  ShowNames(SelectorId(side), entries, entries.size());
  SendMessageA(Control(SelectorId(side)), CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

int MainDialog::ChosenSelectorItem(Side side) const {
  return static_cast<int>(SendMessageA(Control(SelectorId(side)), CB_GETCURSEL, 0, 0));
}

void MainDialog::ShowLogLine(int field, const std::string& text) {
  if (HoldingBack()) {
    heldLogLines_[static_cast<size_t>(field)] = text;
  } else {
    SetLogLine(field, text);
  }
}

void MainDialog::SetLogLine(int field, const std::string& text) {
  SetDlgItemTextA(window_, dialog::kFirstLogLineId + field, text.c_str());
}

void MainDialog::ShowLogScrollBar(const dialog::LogScrollState& bar) {
  if (HoldingBack()) {
    heldScrollBar_ = bar;
  } else {
    SetLogScrollBar(bar);
  }
}

void MainDialog::SetLogScrollBar(const dialog::LogScrollState& bar) {
  const HWND scrollBar = Control(dialog::kLogScrollBarId);
  if (!IsWindowVisible(scrollBar)) {
    SetScrollRange(scrollBar, SB_CTL, bar.minimum, bar.maximum, FALSE);
    ShowWindow(scrollBar, SW_SHOW);
    EnableScrollBar(scrollBar, SB_CTL, ESB_ENABLE_BOTH);
  }
  SetScrollPos(scrollBar, SB_CTL, bar.position, TRUE);
}

void MainDialog::BeginWaitCursor() { cursorBeforeWait_ = SetCursor(LoadCursor(nullptr, IDC_WAIT)); }

void MainDialog::EndWaitCursor() {
  ShowHeldBack();
  SetCursor(cursorBeforeWait_);
}

// Called with a batch running (a turn) or just ended.
void MainDialog::ShowHeldBack() {
  for (size_t field = 0; field < heldLogLines_.size(); ++field) {
    if (const auto line = std::exchange(heldLogLines_[field], std::nullopt)) {
      SetLogLine(static_cast<int>(field), *line);
    }
  }
  if (const auto bar = std::exchange(heldScrollBar_, std::nullopt)) SetLogScrollBar(*bar);
  for (const Side side : {DocumentSide, TextSide}) {
    if (!std::exchange(listsHeld_[static_cast<size_t>(side)], false)) continue;
    const HWND list = Control(FileListId(side));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
  }
}

void MainDialog::ProcessEvents() {
  ShowHeldBack();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the dialog's own loop to see.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (IsHeldInput(message)) continue;
    if (IsDialogMessageA(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

int RunMainDialog(ConverterApp& app) {
  MainDialog dialog(app);
  return dialog.Run();
}

}  // namespace exqrv::win32ui
