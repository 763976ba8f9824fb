#include "win/module.h"

#include <utility>

namespace dravlin {
namespace {

HINSTANCE g_moduleInstance = nullptr;
int g_pins = 0;
HMODULE g_pinnedModule = nullptr;

struct PendingRelease {
  HMODULE module;
  HWND marker;
};

// A thread of the module drops the reference, since dropping the last one
// from the loop's own thread would unmap the code it returns through. The
// loop's thread shows it has left that code by answering a message sent to a
// window of the system's own class; a sent message is only taken in a
// message loop, and once ours have returned that loop is the host's.
DWORD WINAPI ReleaseWhenThreadAnswers(void* parameter) {
  const PendingRelease release = *static_cast<PendingRelease*>(parameter);
  delete static_cast<PendingRelease*>(parameter);
  SendMessageA(release.marker, WM_CLOSE, 0, 0);
  FreeLibraryAndExitThread(release.module, 0);
}

void ReleaseOnceThreadHasLeft(HMODULE module) {
  const HWND marker = CreateWindowExA(0, "STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  auto* release = new PendingRelease{module, marker};
  const HANDLE thread = marker ? CreateThread(nullptr, 0, ReleaseWhenThreadAnswers, release, 0, nullptr) : nullptr;
  if (thread) return static_cast<void>(CloseHandle(thread));
  // The module then stays mapped for the process's life: better than
  // unmapping it under the thread.
  delete release;
  if (marker) DestroyWindow(marker);
}

}  // namespace

HINSTANCE ModuleInstance() { return g_moduleInstance; }
void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

ModulePin::ModulePin() {
  if (g_pins++ > 0) return;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&g_pins), &g_pinnedModule);
}

ModulePin::~ModulePin() {
  if (--g_pins > 0 || !g_pinnedModule) return;
  ReleaseOnceThreadHasLeft(std::exchange(g_pinnedModule, nullptr));
}

}  // namespace dravlin
