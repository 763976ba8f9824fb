#include "plugin/plugin_window.h"

#include <shellapi.h>

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

PluginWindow* g_pluginWindow = nullptr;

// "Tahoma" at 8.5 points for the screen's vertical resolution.
HFONT CreateMenuFont() {
  LOGFONTA font = {};
  {
    WindowDc screen(nullptr);
    font.lfHeight = -(GetDeviceCaps(screen.Get(), LOGPIXELSY) * 85 / 720);
  }
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

PluginWindow* CurrentPluginWindow() { return g_pluginWindow; }

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
  g_pluginWindow = this;
  menuFont_.Reset(CreateMenuFont());
}

PluginWindow::~PluginWindow() {
  if (g_pluginWindow == this) g_pluginWindow = nullptr;
}

LRESULT PluginWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(wParam, lParam);
    case kStartRequest: return OnStartRequest();
    case kStopRequest: return OnStopRequest();
    case WM_DESTROY: return OnDestroy();
    case WM_MEASUREITEM: return OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_DRAWITEM: return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND: return HandleMenuCommand(wParam, lParam);
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
  // A repeated start replaces the hook; the earlier one must not live on.
  hook_.Reset();
  hook_.Reset(SetWindowsHookExA(WH_KEYBOARD, TriggerHookProcedure, ModuleInstance(),
                                Application().LoadingThreadId()));
  BuildPopupMenu();
  return 0;
}

LRESULT PluginWindow::OnStopRequest() {
  hostLink_->Close();
  DestroyWindow(Handle());
  return 0;
}

LRESULT PluginWindow::OnDestroy() {
  if (Application().MainWindow() == this) Application().SetMainWindow(nullptr);
  return 0;
}

void PluginWindow::OnPostDestroy() {
  hook_.Reset();
  DestroyPopupMenus(folderMenus_);
  hostLink_.reset();
  delete this;
}

void PluginWindow::BuildPopupMenu() {
  const std::string directory = hostLink_ ? hostLink_->SettingsDirectory() : std::string();
  const ProfileFile file(directory + "dravlin.ini");
  // A file held by another program keeps the menu the user had.
  if (!file.Readable()) return;
  DestroyPopupMenus(folderMenus_);
  tables_ = PlanMenuTables(ReadMenuDefinition(file));
  folderMenus_ = CreatePopupMenus(tables_);
}

const ItemRecord* PluginWindow::RecordFor(ULONG_PTR itemData) const {
  return itemData < tables_.items.size() ? &tables_.items[itemData] : nullptr;
}

LRESULT PluginWindow::OnMeasureItem(MEASUREITEMSTRUCT* request) {
  if (const ItemRecord* record = RecordFor(request->itemData))
    MeasureMenuItem(Handle(), menuFont_.Get(), *record, *request);
  return TRUE;
}

LRESULT PluginWindow::OnDrawItem(const DRAWITEMSTRUCT* request) {
  if (const ItemRecord* record = RecordFor(request->itemData)) DrawMenuItem(menuFont_.Get(), *record, *request);
  return TRUE;
}

LRESULT PluginWindow::HandleMenuCommand(WPARAM wParam, LPARAM lParam) {
  const unsigned commandId = LOWORD(wParam);
  MENUITEMINFOA item = {};
  item.cbSize = sizeof item;
  item.fMask = MIIM_DATA;
  if (commandId != kCancelCommandId && RootMenu() && GetMenuItemInfoA(RootMenu(), commandId, FALSE, &item)) {
    const EntryAction action = ActionForCommand(tables_, commandId, item.dwItemData);
    if (action.type == EntryAction::Type::SendCommand && hostLink_) hostLink_->SendCommandMessage(action.text);
    if (action.type == EntryAction::Type::OpenWithShell)
      ShellExecuteA(hostWindow_, nullptr, action.text.c_str(), nullptr, nullptr, SW_SHOW);
  }
  return DefaultProcessing(WM_COMMAND, wParam, lParam);
}

}  // namespace dravlin
