#include "plugin/application.h"

#include <winsock.h>

#include "plugin/plugin_window.h"
#include "res/resource.h"
#include "win/module.h"
#include "win/window.h"

namespace dravlin {
namespace {

PluginApplication g_application;

std::string ModuleBaseName(HINSTANCE module) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  std::string name = path;
  const auto slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

void ShowLoadFailure(const std::string& caption) {
  char text[256] = "";
  LoadStringA(ModuleInstance(), IDS_SOCKETS_FAILED, text, sizeof text);
  MessageBoxA(nullptr, text, caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

PluginApplication& Application() { return g_application; }

PluginApplication::PluginApplication() : loadingThreadId_(GetCurrentThreadId()) {}

bool PluginApplication::Initialize(HINSTANCE module) {
  SetModuleInstance(module);
  applicationName_ = ModuleBaseName(module);
  if (StartSockets()) return true;
  ShowLoadFailure(applicationName_);
  Exit();
  return false;
}

bool PluginApplication::StartSockets() {
  if (socketsStarted_) return true;
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return false;
  if (data.wVersion != 0x0101) {
    WSACleanup();
    return false;
  }
  socketsStarted_ = true;
  return true;
}

void PluginApplication::StopSockets() {
  if (socketsStarted_) WSACleanup();
  socketsStarted_ = false;
}

void PluginApplication::Exit() {
  PluginWindow::DestroyAll();
  Window::UnregisterWindowClasses();
  StopSockets();
}

}  // namespace dravlin
