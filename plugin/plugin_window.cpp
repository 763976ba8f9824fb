#include "plugin/plugin_window.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "menufile/file_io.h"
#include "menufile/menu_definition.h"
#include "plugin/application.h"
#include "popup/popup_menu_win32.h"
#include "popup/trigger_hook_win32.h"
#include "res/resource.h"
#include "win/module.h"

namespace dravlin {
namespace {

const char kPluginName[] = "Dravlin plug-in 1.2";
const char kCreditsLine[] = "Developed by the Dravlin developers (dravlin@example.org)";
const char kWindowClass[] = "DravlinPluginWindow";
// Carries out the requests deferred while a nested loop ran.
constexpr UINT kDeferredRequests = WM_APP + 1;
constexpr LPARAM kKeyReleasedBit = 0x80000000;

// The window whose keyboard hook is installed.
PluginWindow* g_hookedWindow = nullptr;

std::vector<PluginWindow*>& LiveWindows() {
  static std::vector<PluginWindow*> windows;
  return windows;
}

// "Tahoma" at 8.5 points for the screen's vertical resolution.
HFONT CreateMenuFont(int dpi) {
  LOGFONTA font = {};
  font.lfHeight = -(dpi * 85 / 720);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(font.lfFaceName, "Tahoma", LF_FACESIZE);
  return CreateFontIndirectA(&font);
}

bool RegisterPluginWindowClass() {
  WNDCLASSA windowClass = {};
  windowClass.style = 0;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.hIcon = LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(IDI_PLUGIN));
  windowClass.lpszClassName = kWindowClass;
  return Window::RegisterWindowClass(windowClass);
}

}  // namespace

PluginWindow* PluginWindow::Create(HWND hostWindow, unsigned port) {
  auto* window = new PluginWindow(hostWindow, port);
  RegisterPluginWindowClass();
  if (!window->CreateSystemWindow(0, kWindowClass, "Dravlin", WS_OVERLAPPEDWINDOW, 0, 731, 1280,
                                  265, hostWindow)) {
    // Without a system window nothing would ever delete the object.
    delete window;
    return nullptr;
  }
  return window;
}

PluginWindow::PluginWindow(HWND hostWindow, unsigned port)
    : hostWindow_(hostWindow), port_(port) {
  Application().StartSockets();
  LiveWindows().push_back(this);
}

PluginWindow::~PluginWindow() {
  RemoveHook();
  // Its socket closes before the last window cleans up Windows Sockets.
  hostLink_.reset();
  auto& live = LiveWindows();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  if (live.empty()) Application().StopSockets();
}

void PluginWindow::DestroyAll() {
  for (PluginWindow* window : std::vector<PluginWindow*>(LiveWindows())) {
    if (!window->Handle()) continue;
    if (GetWindowThreadProcessId(window->Handle(), nullptr) == GetCurrentThreadId()) {
      DestroyWindow(window->Handle());
      continue;
    }
    // The host may unload the module from any of its threads, and waiting
    // for another one under the loader lock may hang it. No loop of ours runs
    // there (it would hold a pin), so the object goes at once: its link
    // closes, its hook goes, and its windows are left to the system.
    if (Application().MainWindow() == window) Application().SetMainWindow(nullptr);
    delete window;
  }
}

LRESULT PluginWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(wParam, lParam);
    case kStartRequest: return OnStartRequest();
    case kStopRequest: return OnStopRequest();
    case kDeferredRequests: return OnDeferredRequests();
    case WM_DESTROY: return OnDestroy();
    case WM_MEASUREITEM: return OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_DRAWITEM: return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND: return HandleMenuCommand(wParam, lParam);
    case WM_MENUCHAR: return OnMenuChar(wParam, lParam);
    default: return DefaultProcessing(message, wParam, lParam);
  }
}

LRESULT PluginWindow::OnCreate(WPARAM wParam, LPARAM lParam) {
  if (DefaultProcessing(WM_CREATE, wParam, lParam) == -1) return -1;
  hostLink_ = std::make_unique<HostLink>(Handle());
  if (hostLink_->CreateSocket()) hostLink_->Connect(port_);
  return 0;
}

LRESULT PluginWindow::OnStartRequest() {
  hostLink_->SendInformationLine(kPluginName);
  hostLink_->SendInformationLine(kCreditsLine);
  InstallHook();
  BuildPopupMenu();
  return 0;
}

void PluginWindow::InstallHook() {
  // A repeated start replaces the hook; the earlier one must not live on.
  RemoveHook();
  hook_.Reset(SetWindowsHookExA(WH_KEYBOARD, HookProcedure, ModuleInstance(), Application().LoadingThreadId()));
  if (hook_.Get()) g_hookedWindow = this;
}

void PluginWindow::RemoveHook() {
  hook_.Reset();
  if (g_hookedWindow == this) g_hookedWindow = nullptr;
}

LRESULT CALLBACK PluginWindow::HookProcedure(int code, WPARAM virtualKey, LPARAM keystrokeFlags) {
  // A hook further down may run a modal loop in which the host stops,
  // restarts or unloads the plug-in; the code and the window must outlive
  // this call. Windows, unlike Wine, holds no reference to a hook's module
  // while it calls the hook.
  const ModulePin pin;
  PluginWindow* window = g_hookedWindow;
  if (!window) return CallNextHookEx(nullptr, code, virtualKey, keystrokeFlags);
  NestedLoop loop(window);
  const LRESULT result = CallNextHookEx(window->hook_.Get(), code, virtualKey, keystrokeFlags);
  // A keystroke only peeked at (HC_NOREMOVE) is reported again when it is
  // taken from the queue; acting on both would open the menu twice.
  if (code != HC_ACTION) return result;
  try {
    window->OnKeystroke(virtualKey, keystrokeFlags);
  } catch (...) {
  }
  return result;
}

LRESULT PluginWindow::OnStopRequest() {
  Stop();
  return 0;
}

void PluginWindow::Stop() {
  RemoveHook();
  if (nestedLoops_ > 0) return Defer(Request::kStop);
  if (hostLink_) hostLink_->Close();
  DestroyWindow(Handle());
}

PluginWindow::NestedLoop::NestedLoop(PluginWindow* window) : window_(window) {
  if (window_) ++window_->nestedLoops_;
}

PluginWindow::NestedLoop::~NestedLoop() {
  if (window_) window_->OnNestedLoopEnd();
}

void PluginWindow::Defer(Request request) {
  // The finder lists the tables a rebuild replaces, and a stop ends them.
  if (finder_) finder_->Close();
  // Asked twice in a row, a request is still carried out once.
  if (deferred_.empty() || deferred_.back() != request) deferred_.push_back(request);
}

void PluginWindow::OnNestedLoopEnd() {
  if (--nestedLoops_ > 0) return;
  if (!Handle()) return DeleteIfDone();
  // Posted rather than run here: the popup menu posts the chosen command as it
  // closes, and that command belongs to the menu the user saw.
  if (!deferred_.empty()) PostMessageA(Handle(), kDeferredRequests, 0, 0);
}

LRESULT PluginWindow::OnDeferredRequests() {
  while (nestedLoops_ == 0 && !deferred_.empty()) {
    const Request request = deferred_.front();
    deferred_.erase(deferred_.begin());
    if (request == Request::kStop) {
      // The object is gone afterwards; what was asked after the stop goes with it.
      Stop();
      return 0;
    }
    std::optional<ProfileFile> committed = std::exchange(committed_, std::nullopt);
    if (committed) BuildPopupMenu(std::move(*committed));
    else BuildPopupMenu();
  }
  return 0;
}

LRESULT PluginWindow::OnDestroy() {
  if (finder_) finder_->Close();
  if (Application().MainWindow() == this) Application().SetMainWindow(nullptr);
  return 0;
}

void PluginWindow::OnPostDestroy() {
  RemoveHook();
  hostLink_.reset();
  DeleteIfDone();
}

void PluginWindow::DeleteIfDone() {
  // A loop of ours still on the stack may be tracking the menus, and returns
  // into this object: both stay until it has returned.
  if (!Handle() && nestedLoops_ == 0) delete this;
}

void PluginWindow::BuildPopupMenu() {
  // The menus may be on the screen, and a command still to come is looked up
  // in the tables they were built with.
  if (nestedLoops_ > 0) {
    // The file may change before the deferred rebuild; it is read then.
    committed_.reset();
    return Defer(Request::kRebuild);
  }
  BuildFrom(ProfileFile(MenuFilePath()));
}

void PluginWindow::BuildPopupMenu(ProfileFile committed) {
  if (nestedLoops_ > 0) {
    committed_ = std::move(committed);
    return Defer(Request::kRebuild);
  }
  if (committed.Path() != ResolveProfilePath(MenuFilePath())) return BuildPopupMenu();
  BuildFrom(committed);
}

std::string PluginWindow::MenuFilePath() const {
  return (hostLink_ ? hostLink_->SettingsDirectory() : std::string()) + "dravlin.ini";
}

void PluginWindow::BuildFrom(const ProfileFile& file) {
  // A file held by another program keeps the menu the user had.
  if (!file.Readable()) return;
  tables_ = PlanMenuTables(ReadMenuDefinition(file));
  // The menus are made when next shown. A menu of thousands of items takes
  // tens of milliseconds to build, which OK and every start would otherwise
  // wait for, and the user may change the file again before opening one.
  menus_ = PopupMenus();
}

void PluginWindow::MakeMenus(int dpi, bool asText) {
  if (dpi != dpi_ || !menuFont_) menuFont_.Reset(CreateMenuFont(dpi));
  dpi_ = dpi;
  menusAsText_ = asText;
  // The old menus go before the new ones are made.
  menus_ = PopupMenus();
  menus_ = PopupMenus(tables_, asText);
}

LRESULT PluginWindow::OnMeasureItem(MEASUREITEMSTRUCT* request) {
  if (const ItemRecord* record = RecordFor(tables_, menus_, request->itemData))
    MeasureMenuItem(Handle(), menuFont_.Get(), dpi_, *record, *request);
  return TRUE;
}

LRESULT PluginWindow::OnDrawItem(const DRAWITEMSTRUCT* request) {
  if (const ItemRecord* record = RecordFor(tables_, menus_, request->itemData))
    DrawMenuItem(menuFont_.Get(), dpi_, *record, *request);
  return TRUE;
}

LRESULT PluginWindow::OnMenuChar(WPARAM wParam, LPARAM lParam) {
  // Inside the menu the key state no longer reports a key held before it
  // opened (Wine), so what the hook saw decides.
  if (OpeningKeyHeld()) return MAKELRESULT(0, MNC_IGNORE);
  return AnswerMenuChar(Handle(), reinterpret_cast<HMENU>(lParam), LOWORD(wParam), menus_, tables_);
}

bool PluginWindow::OpeningKeyHeld() const {
  return std::any_of(heldOpeningKeys_.begin(), heldOpeningKeys_.end(), [](int key) { return key != 0; });
}

void PluginWindow::OnKeystroke(WPARAM virtualKey, LPARAM keystrokeFlags) {
  const auto flags = static_cast<std::uint32_t>(keystrokeFlags);
  const int key = static_cast<int>(virtualKey);
  const int sidedKey = SidedVirtualKey(key, flags);
  const bool isTriggerKey = sidedKey == TriggerKey();
  if (keystrokeFlags & kKeyReleasedBit) {
    if (isTriggerKey) triggerPressServed_ = false;
    // A file may name the generic Shift or Ctrl, which the keystroke reports
    // as it is as well as sided.
    for (int& held : heldOpeningKeys_)
      if (held == key || held == sidedKey) held = 0;
  }
  // Most keystrokes are repeats and releases: they are settled before any of
  // the window system's queries, which cost the host's thread on every key.
  if (!IsFirstKeyDown(flags)) return;
  // Wine's menu loop tells the owner nothing of Ctrl+F: only this hook sees it.
  if (menuOpen_ && virtualKey == 'F' && (GetKeyState(VK_CONTROL) & 0x8000)) {
    PostMessageA(Handle(), WM_COMMAND, kFindCommandId, 0);
    EndMenu();
    return;
  }
  // Wine's menu loop sees the trigger's key-down again, and after the menu
  // the held key's repeats arrive unflagged; one press opens one menu, and
  // never a menu inside the open one, as on Windows. A window that lost its
  // hook while the next hook ran is on its way out.
  if (menuOpen_ || finder_ || (isTriggerKey && triggerPressServed_) || tables_.menus.empty() || !hook_.Get()) return;
  const auto at = TriggerMenuPoint(hostWindow_, TriggerKey(), virtualKey, keystrokeFlags);
  if (!at) return;
  triggerPressServed_ = isTriggerKey;
  // The trigger test passed, so the trigger key is down as well.
  heldOpeningKeys_ = {TriggerKey(), sidedKey};
  SuitMenus(POINT{at->x, at->y});
  const ModulePin pin;
  // Ends after the last use of a member: its end deletes the object when the
  // window went while the menu was open.
  NestedLoop loop(this);
  menuOpen_ = true;
  menuPoint_ = {at->x, at->y};
  TrackPopupMenu(RootMenu(), 0, at->x, at->y, 0, Handle(), nullptr);
  menuOpen_ = false;
}

void PluginWindow::SuitMenus(POINT at) {
  // Not every system tells the window that a reader started or stopped, and
  // the host's window may have moved to another monitor, or the user changed
  // the scaling, since the build.
  const int dpi = DpiWhereMenuAppears(hostWindow_, &at);
  const bool asText = ScreenReaderRunning();
  if (!RootMenu() || dpi != dpi_ || asText != menusAsText_) MakeMenus(dpi, asText);
}

LRESULT PluginWindow::HandleMenuCommand(WPARAM wParam, LPARAM lParam) {
  // ShellExecuteA may run a loop of its own (an error box, DDE).
  const ModulePin pin;
  NestedLoop loop(this);
  const unsigned commandId = LOWORD(wParam);
  if (commandId == kFindCommandId) OpenFinder();
  else RunCommand(commandId);
  return DefaultProcessing(WM_COMMAND, wParam, lParam);
}

void PluginWindow::RunCommand(unsigned commandId) {
  // A rebuild between the menu and the finder's choice drops the menus.
  if (!RootMenu()) SuitMenus(menuPoint_);
  MENUITEMINFOA item = {};
  item.cbSize = sizeof item;
  item.fMask = MIIM_DATA;
  if (commandId != kCancelCommandId && RootMenu() && GetMenuItemInfoA(RootMenu(), commandId, FALSE, &item)) {
    const std::optional<std::size_t> position = menus_.PositionOf(item.dwItemData);
    const EntryAction action = position ? ActionForCommand(tables_, commandId, *position) : EntryAction();
    if (action.type == EntryAction::Type::SendCommand && hostLink_) hostLink_->SendCommandMessage(action.text);
    if (action.type == EntryAction::Type::OpenWithShell)
      ShellExecuteA(hostWindow_, nullptr, action.text.c_str(), nullptr, nullptr, SW_SHOW);
  }
}

void PluginWindow::OpenFinder() {
  // A rebuild or stop asked while the menu was open comes first: the finder
  // then lists the new tables, or nothing at all.
  if (!deferred_.empty()) {
    PostMessageA(Handle(), WM_COMMAND, kFindCommandId, 0);
    return;
  }
  if (finder_ || !Handle()) return;
  const HWND textField = GetFocus();
  const FinderIndex index(tables_, AnsiCodePageRules());
  FinderWindow finder(index, menuFont_.Get(), dpi_);
  if (!finder.Open(hostWindow_, menuPoint_)) return;
  finder_ = &finder;
  const unsigned chosen = finder.RunUntilClosed();
  finder_ = nullptr;
  // A click in another program keeps the focus there.
  if (IsWindow(textField) && GetForegroundWindow() == GetAncestor(textField, GA_ROOT)) SetFocus(textField);
  // Closed by a stop or a rebuild, the finder chose nothing; the tables are
  // still those it listed.
  if (chosen) RunCommand(chosen);
}

}  // namespace dravlin
