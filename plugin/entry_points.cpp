// The module's entry: load and unload steps and the four exported entry points.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <optional>
#include <string>

#include "config/config_dialog_win32.h"
#include "plugin/application.h"
#include "plugin/plugin_window.h"
#include "win/module.h"

using dravlin::Application;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return Application().Initialize(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
      // At process exit the host's windows and threads are already going; only
      // an unload by FreeLibrary tears the plug-in down.
      if (!reserved) Application().Exit();
      return TRUE;
    default:
      return TRUE;
  }
}

extern "C" int WINAPI zanInit(HWND hostWindow, int, int port, int) {
  // One plug-in window at a time: an earlier one goes with its link and hook
  // instead of living on unreachable (once its own loops have returned, when
  // the host calls from inside one).
  if (dravlin::PluginWindow* earlier = Application().MainWindow()) earlier->Stop();
  Application().SetMainWindow(dravlin::PluginWindow::Create(hostWindow, static_cast<unsigned>(port)));
  return 1;
}

extern "C" int WINAPI zanInfo(int, int, int, unsigned char* record) {
  static const char kName[] = "Dravlin plug-in";
  if (!record) return 1;
  std::memcpy(record, kName, sizeof kName - 1);
  const int integers[3] = {1, 1, 0};
  std::memcpy(record + 128, integers, sizeof integers);
  return 1;
}

namespace {

// The request record's third field points to the settings directory (offset 8
// in the 32-bit layout); the host's record is read and never kept.
std::string SettingsDirectoryOf(const void* request) {
  if (!request) return {};
  const char* directory = static_cast<const char* const*>(request)[2];
  return directory ? directory : "";
}

// The dialog on the screen, if any. A second one would hold an older copy of
// the menu, and its OK would save that over the first one's.
dravlin::ConfigDialog* g_openDialog = nullptr;

void BringToFront(const dravlin::ConfigDialog& dialog) {
  // Its property dialog or message box, when one is open above it.
  if (dialog.Handle()) SetForegroundWindow(GetLastActivePopup(dialog.Handle()));
}

// Runs the dialog and returns what it saved. The running window stays while
// the dialog runs: a stop or rebuild asked meanwhile waits for its end.
std::optional<dravlin::ProfileFile> RunConfigDialog(HWND owner, const void* request) {
  const dravlin::PluginWindow::NestedLoop loop(Application().MainWindow());
  dravlin::ConfigDialog dialog;
  dialog.SetSettingsDirectory(SettingsDirectoryOf(request));
  g_openDialog = &dialog;
  dialog.RunModal(owner);
  g_openDialog = nullptr;
  return dialog.TakeSaved();
}

}  // namespace

extern "C" int WINAPI zanConf(HWND owner, int, int, const unsigned char* request) {
  if (g_openDialog) {
    BringToFront(*g_openDialog);
    return 1;
  }
  // The host may unload the module from a message dispatched in the dialog.
  const dravlin::ModulePin pin;
  try {
    // The dialog template names the tree-view class, which must be registered first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    std::optional<dravlin::ProfileFile> saved = RunConfigDialog(owner, request);
    // The running menu shows what was saved, without reading it back; the
    // window may have been replaced while the dialog ran.
    dravlin::PluginWindow* window = Application().MainWindow();
    if (saved && window) window->BuildPopupMenu(std::move(*saved));
  } catch (...) {
    // Nothing may cross into the host; the dialog has written the file or not.
  }
  return 1;
}

extern "C" int WINAPI zanCred(int, int, int, int) { return 0; }
