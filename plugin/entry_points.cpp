// The module's entry: load and unload steps and the four exported entry points.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "config/config_dialog_win32.h"
#include "plugin/application.h"
#include "plugin/plugin_window.h"

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

}  // namespace

extern "C" int WINAPI zanConf(HWND owner, int, int, const unsigned char* request) {
  try {
    // The dialog template names the tree-view class, which must be registered first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    // The running window stays while the dialog runs, so that its OK never
    // rebuilds a window that has gone.
    const dravlin::PluginWindow::NestedLoop loop(Application().MainWindow());
    dravlin::ConfigDialog dialog;
    dialog.SetSettingsDirectory(SettingsDirectoryOf(request));
    dialog.RunModal(owner);
  } catch (...) {
    // Nothing may cross into the host; the dialog has written the file or not.
  }
  return 1;
}

extern "C" int WINAPI zanCred(int, int, int, int) { return 0; }
