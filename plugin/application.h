// The one application object of the module: it lives from load to unload,
// holds Windows Sockets open and refers to the running plug-in window.
#pragma once

#include <windows.h>

#include <string>

namespace dravlin {

class PluginWindow;

class PluginApplication {
 public:
  PluginApplication();

  // Load steps after static construction; false makes the module fail to load.
  bool Initialize(HINSTANCE module);
  // Unload steps: destroys the plug-in windows, then cleans up sockets.
  void Exit();

  // Windows Sockets, started at load and by a window that needs them again,
  // cleaned up once the last window has gone: outside the loader lock, where
  // the platform asks for it, unless the host unloads the module with a
  // window running.
  bool StartSockets();
  void StopSockets();

  DWORD LoadingThreadId() const { return loadingThreadId_; }
  const std::string& ApplicationName() const { return applicationName_; }

  // The main-window slot: the running plug-in window or null.
  PluginWindow* MainWindow() const { return mainWindow_; }
  void SetMainWindow(PluginWindow* window) { mainWindow_ = window; }

 private:
  DWORD loadingThreadId_;
  std::string applicationName_;
  PluginWindow* mainWindow_ = nullptr;
  bool socketsStarted_ = false;
};

PluginApplication& Application();

}  // namespace dravlin
