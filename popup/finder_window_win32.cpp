#include "popup/finder_window_win32.h"

#include <algorithm>
#include <string>

#include "popup/popup_menu_win32.h"
#include "res/resource.h"
#include "win/module.h"

namespace dravlin {
namespace {

const char kWindowClass[] = "DravlinFinder";
const char kTitle[] = "Find";
constexpr int kEditId = 1;
constexpr int kListId = 2;
// Sizes at 96 pixels per inch, scaled in proportion as the menu's are.
constexpr int kWidth = 420;
constexpr int kListHeight = 240;
constexpr int kMargin = 4;
constexpr int kCaptionColumnWidth = 220;
constexpr int kIconSize = 16;
constexpr int kIconKinds[] = {kNormalCommandKind, kWebSiteKind, kEmailAddressKind};

int FontHeight(HWND window, HFONT font) {
  WindowDc dc(window);
  SelectionGuard selected(dc.Get(), font);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc.Get(), &metrics);
  return metrics.tmHeight;
}

// The rectangle of the given size at `at`, moved as little as it takes to lie
// within the work area of the monitor that holds that point.
RECT KeptOnMonitor(POINT at, int width, int height) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const LONG x = std::max(work.left, std::min<LONG>(at.x, work.right - width));
  const LONG y = std::max(work.top, std::min<LONG>(at.y, work.bottom - height));
  return {x, y, x + width, y + height};
}

// ImageList_AddIcon loads each icon from its resource a second time; the
// bitmaps of the icon just loaded at the list's size are the same picture.
void AddIcon(HIMAGELIST images, HICON icon) {
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return;
  const GdiObjectHandle color(info.hbmColor), mask(info.hbmMask);
  ImageList_Add(images, info.hbmColor, info.hbmMask);
}

// The list view works out its row height and scroll bars in its first paint,
// and draws the scroll bars on each of the four updates that makes. Painted
// once into a memory bitmap while the window is hidden, it has done that work
// before anything can be seen.
void LayOutWhileHidden(HWND list) {
  const WindowDc screen(nullptr);
  const MemoryDc dc(CreateCompatibleDC(screen.Get()));
  const GdiObjectHandle bitmap(CreateCompatibleBitmap(screen.Get(), 1, 1));
  if (!dc || !bitmap) return;
  const SelectionGuard selected(dc.Get(), bitmap.Get());
  SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
}

void AddColumn(HWND list, int index, const char* title, int width) {
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<char*>(title);
  column.cx = width;
  ListView_InsertColumn(list, index, &column);
}

}  // namespace

CodePageRules AnsiCodePageRules() {
  CodePageRules rules;
  for (int c = 1; c < 256; ++c) {
    char character = static_cast<char>(c);
    rules.leadByte[c] = IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
    if (!rules.leadByte[c]) CharUpperBuffA(&character, 1);
    rules.upper[c] = character;
  }
  return rules;
}

FinderWindow::FinderWindow(const FinderIndex& index, HFONT font, int dpi) : index_(index), font_(font), dpi_(dpi) {}

bool FinderWindow::Open(HWND owner, POINT at) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass = {};
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterWindowClass(windowClass)) return false;
  // The tool window style keeps it off the taskbar; the title is what a
  // screen reader announces.
  if (!CreateSystemWindow(WS_EX_TOOLWINDOW, kWindowClass, kTitle, WS_POPUP | WS_BORDER, at.x, at.y,
                          Scaled(kWidth, dpi_), Scaled(kListHeight, dpi_), owner))
    return false;
  const int editHeight = FontHeight(edit_, font_) + Scaled(2 * kMargin, dpi_);
  const int width = Scaled(kWidth, dpi_), height = editHeight + Scaled(kListHeight + 3 * kMargin, dpi_);
  const RECT place = KeptOnMonitor(at, width, height);
  SetWindowPos(Handle(), HWND_TOP, place.left, place.top, width, height, SWP_NOACTIVATE);
  RECT client;
  GetClientRect(Handle(), &client);
  const int margin = Scaled(kMargin, dpi_);
  MoveWindow(edit_, margin, margin, client.right - 2 * margin, editHeight, FALSE);
  MoveWindow(list_, margin, 2 * margin + editHeight, client.right - 2 * margin,
             client.bottom - 3 * margin - editHeight, FALSE);
  ListView_SetColumnWidth(list_, 1, LVSCW_AUTOSIZE_USEHEADER);
  Narrow();
  SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  LayOutWhileHidden(list_);
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  SetFocus(edit_);
  return true;
}

unsigned FinderWindow::RunUntilClosed() {
  MSG message;
  while (!done_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      // The thread's loop must still see the quit request.
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (message.message == WM_KEYDOWN && message.hwnd == edit_ && OnEditKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (Handle()) DestroyWindow(Handle());
  return chosen_;
}

void FinderWindow::Close() {
  done_ = true;
  // Wakes the loop when this came from a message sent by another thread,
  // which GetMessage handles without returning.
  PostMessageA(nullptr, WM_NULL, 0, 0);
}

LRESULT FinderWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(wParam, lParam);
    case WM_ACTIVATE: return OnActivate(wParam);
    case WM_COMMAND: return OnCommand(wParam, lParam);
    case WM_NOTIFY: return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    default: return DefaultProcessing(message, wParam, lParam);
  }
}

void FinderWindow::OnPostDestroy() { done_ = true; }

LRESULT FinderWindow::OnCreate(WPARAM wParam, LPARAM lParam) {
  if (DefaultProcessing(WM_CREATE, wParam, lParam) == -1) return -1;
  const HINSTANCE instance = ModuleInstance();
  edit_ = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0,
                          0, 0, Handle(), reinterpret_cast<HMENU>(kEditId), instance, nullptr);
  list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                          WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                              LVS_NOSORTHEADER,
                          0, 0, 0, 0, Handle(), reinterpret_cast<HMENU>(kListId), instance, nullptr);
  if (!edit_ || !list_) return -1;
  // Each step of the setup below would lay the list out again; it is laid out
  // once, when the window opens.
  SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  const int size = Scaled(kIconSize, dpi_);
  images_.Reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 3, 0));
  for (const int kind : kIconKinds) {
    const IconHandle icon(static_cast<HICON>(
        LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(kind), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    AddIcon(images_.Get(), icon.Get());
  }
  // The list does not own the image list: it goes with this object.
  ListView_SetImageList(list_, images_.Get(), LVSIL_SMALL);
  AddColumn(list_, 0, "Entry", Scaled(kCaptionColumnWidth, dpi_));
  AddColumn(list_, 1, "Folder", Scaled(kWidth - kCaptionColumnWidth, dpi_));
  return 0;
}

LRESULT FinderWindow::OnActivate(WPARAM wParam) {
  // A click elsewhere takes the activation away.
  if (LOWORD(wParam) == WA_INACTIVE) Close();
  return 0;
}

LRESULT FinderWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == kEditId && HIWORD(wParam) == EN_CHANGE) Narrow();
  return DefaultProcessing(WM_COMMAND, wParam, lParam);
}

LRESULT FinderWindow::OnNotify(NMHDR* header) {
  if (header->idFrom != kListId) return 0;
  switch (header->code) {
    case LVN_GETDISPINFOA: OnGetDisplayInfo(*reinterpret_cast<NMLVDISPINFOA*>(header)); break;
    case NM_DBLCLK: Choose(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem); break;
    case NM_CUSTOMDRAW: return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    default: break;
  }
  return 0;
}

LRESULT FinderWindow::OnCustomDraw(NMLVCUSTOMDRAW& request) {
  if (request.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (request.nmcd.dwDrawStage != CDDS_ITEMPREPAINT || !(request.nmcd.uItemState & CDIS_SELECTED)) return CDRF_DODEFAULT;
  // The focus stays in the edit box, where a list draws its selection pale:
  // the row Enter runs is drawn as if the list had the focus.
  request.nmcd.uItemState &= ~CDIS_SELECTED;
  request.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  request.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
  return CDRF_DODEFAULT;
}

bool FinderWindow::OnEditKey(const MSG& message) {
  switch (message.wParam) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
      SendMessageA(list_, WM_KEYDOWN, message.wParam, message.lParam);
      return true;
    case VK_RETURN:
      Choose(ListView_GetNextItem(list_, -1, LVNI_SELECTED));
      return true;
    case VK_ESCAPE:
      Close();
      return true;
    default:
      return false;
  }
}

void FinderWindow::OnGetDisplayInfo(NMLVDISPINFOA& request) {
  LVITEMA& item = request.item;
  if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows_.size()) return;
  const FinderEntry& entry = index_.Entries()[rows_[item.iItem]];
  if (item.mask & LVIF_TEXT) lstrcpynA(item.pszText, (item.iSubItem == 0 ? entry.caption : entry.path).c_str(), item.cchTextMax);
  if (item.mask & LVIF_IMAGE) item.iImage = ImageOf(entry.kind);
}

void FinderWindow::Narrow() {
  const int length = GetWindowTextLengthA(edit_);
  std::string typed(static_cast<std::size_t>(length) + 1, '\0');
  GetWindowTextA(edit_, &typed[0], length + 1);
  typed.resize(static_cast<std::size_t>(length));
  rows_ = index_.Matching(typed);
  // Redraw off for the list window itself, as DefWindowProc turns it off: the
  // list view's own handling of WM_SETREDRAW still redraws its scroll bars at
  // each change. One repaint then draws the rows and the scroll bars, without
  // the header, which does not change.
  DefWindowProcA(list_, WM_SETREDRAW, FALSE, 0);
  ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), 0);
  if (!rows_.empty()) {
    ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, 0, FALSE);
  }
  DefWindowProcA(list_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_NOCHILDREN);
}

void FinderWindow::Choose(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  chosen_ = index_.Entries()[rows_[static_cast<std::size_t>(row)]].commandId;
  Close();
}

int FinderWindow::ImageOf(int kind) const {
  const auto found = std::find(std::begin(kIconKinds), std::end(kIconKinds), kind);
  // Other kinds draw no icon in the menu either: an index the list does not hold.
  return static_cast<int>(found - std::begin(kIconKinds));
}

}  // namespace dravlin
